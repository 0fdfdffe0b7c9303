// The list as people use it: sorting, filtering, rows that follow their
// server and dim when it falls silent, copying, exporting and waking.
#include "MainWindowFixture.h"

#include "actions/ServerExport.h"
#include "mainwnd/RowActions.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/ServerSortFilterModel.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTableView>

using namespace Qt::StringLiterals;

namespace {

class ListUse : public MainWindowFixture
{
protected:
    // The shown rows' texts under one label, top to bottom.
    std::vector<QString> Column(const char16_t* label) const
    {
        std::vector<QString> texts;
        for (int row = 0; row < m_window->Servers().ShownCount(); ++row)
            texts.push_back(Cell(row, label));
        return texts;
    }
    void ClickHeader(const char16_t* label)
    {
        QTableView* view = m_window->Servers().View();
        const int column = ColumnOf(label);
        const int x = view->horizontalHeader()->sectionViewportPosition(column) + view->horizontalHeader()->sectionSize(column) / 2;
        QTest::mouseClick(view->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(x, view->horizontalHeader()->height() / 2));
    }
    static int ColumnOf(const char16_t* label)
    {
        const char16_t* const labels[] = {u"NAMELABEL",       u"IPLABEL",       u"PORTLABEL",
                                          u"VERSIONLABEL",    u"SERIALLABEL",   u"MACLABEL",
                                          u"DEVICETYPELABEL", u"KORVANIDLABEL", u"UPTIMEABEL"};
        for (int i = 0; i < 9; ++i) {
            if (std::u16string_view(labels[i]) == label)
                return i;
        }
        return -1;
    }
    void Select(int shownRow)
    {
        QTableView* view = m_window->Servers().View();
        view->setCurrentIndex(view->model()->index(shownRow, 0));
    }
};

struct SortCase
{
    const char* why;
    const char16_t* label;
    std::vector<std::pair<const char16_t*, const char16_t*>> servers;  // ip, the field under `label`
    std::vector<const char16_t*> ascending;                            // the field, top to bottom
};

const SortCase kSortCases[] = {
    {"addresses sort as numbers",
     u"IPLABEL",
     {{u"10.0.0.10", u""}, {u"10.0.0.9", u""}, {u"9.1.1.1", u""}, {u"10.0.0.100", u""}},
     {u"9.1.1.1", u"10.0.0.9", u"10.0.0.10", u"10.0.0.100"}},
    {"ports sort as numbers, ports that are none after them",
     u"PORTLABEL",
     {{u"10.0.0.1", u"8080"}, {u"10.0.0.2", u"80"}, {u"10.0.0.3", u"abc"}, {u"10.0.0.4", u"443"}},
     {u"80", u"443", u"8080", u"abc"}},
    {"names sort as text, ignoring case, digits as numbers",
     u"NAMELABEL",
     {{u"10.0.0.1", u"nas-10"}, {u"10.0.0.2", u"Backup"}, {u"10.0.0.3", u"nas-9"}, {u"10.0.0.4", u"archive"}},
     {u"archive", u"Backup", u"nas-9", u"nas-10"}},
};

TEST_F(ListUse, AHeaderClickSortsThenReversesThenGoesBackToTheOrderFirstHeard)
{
    for (const SortCase& c : kSortCases) {
        SCOPED_TRACE(c.why);
        OpenWindow();
        std::vector<QString> firstHeard;
        for (const auto& [ip, value] : c.servers) {
            ServerRecord record = Record(ip);
            if (std::u16string_view(c.label) == u"PORTLABEL")
                record.Port = value;
            if (std::u16string_view(c.label) == u"NAMELABEL")
                record.Name = value;
            Deliver(record);
            firstHeard.push_back(QString::fromUtf16(std::u16string_view(c.label) == u"IPLABEL" ? ip : value));
        }
        std::vector<QString> ascending;
        for (const char16_t* v : c.ascending)
            ascending.push_back(QString::fromUtf16(v));
        ClickHeader(c.label);
        EXPECT_EQ(Column(c.label), ascending);
        ClickHeader(c.label);
        EXPECT_EQ(Column(c.label), std::vector<QString>(ascending.rbegin(), ascending.rend()));
        ClickHeader(c.label);
        EXPECT_EQ(Column(c.label), firstHeard);
        m_window.reset();
    }
}

TEST_F(ListUse, ChineseNamesSortInPinyinOrderUnderChinese)
{
    OpenWindow(u"zh_cn");
    // bei (北), shang (上), an (安): pinyin puts an, bei, shang.
    for (const auto& [ip, name] : {std::pair{u"10.0.0.1", u"\u4E0A\u6D77"}, std::pair{u"10.0.0.2", u"\u5317\u4EAC"},
                                   std::pair{u"10.0.0.3", u"\u5B89\u5FBD"}})
        Deliver(Record(ip, name));
    ClickHeader(u"NAMELABEL");
    EXPECT_EQ(Column(u"IPLABEL"), (std::vector<QString>{u"10.0.0.3"_s, u"10.0.0.2"_s, u"10.0.0.1"_s}));
}

TEST_F(ListUse, TheFilterShowsRowsWithAnyFieldHoldingItAndTheCounterCountsAll)
{
    OpenWindow();
    Deliver(Record(u"10.0.0.1", u"Archive-NAS"));
    Deliver(Record(u"10.0.0.2", u"\u5B58\u50A8\u670D\u52A1\u5668"));  // 存储服务器
    ServerRecord third = Record(u"192.168.7.3", u"office");
    third.Mac = u"AA-BB-CC-00-11-22";
    Deliver(third);
    auto* filter = qobject_cast<QLineEdit*>(m_window->Control(u"FILTEREDIT"_s));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->placeholderText(), u"Filter"_s);

    struct Case
    {
        const char* why;
        QString text;
        std::vector<QString> ips;
    };
    const Case cases[] = {
        {"any case finds a name", u"archive"_s, {u"10.0.0.1"_s}},
        {"Chinese text", u"\u670D\u52A1"_s, {u"10.0.0.2"_s}},
        {"a part of an address", u"168.7"_s, {u"192.168.7.3"_s}},
        {"a hardware address in lower case", u"aa-bb"_s, {u"192.168.7.3"_s}},
        {"a field every row shares", u"k4"_s, {u"10.0.0.1"_s, u"10.0.0.2"_s, u"192.168.7.3"_s}},
        {"nothing matches", u"zzz"_s, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        filter->setText(c.text);
        EXPECT_EQ(Column(u"IPLABEL"), c.ips);
        EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"3") << "the counter counts every row";
        EXPECT_EQ(TextOf("SHOWNLABEL"), QStringLiteral("%1 of 3 shown").arg(c.ips.size()));
    }
    filter->clear();
    EXPECT_EQ(TextOf("SHOWNLABEL"), QString());
    EXPECT_EQ(m_window->Servers().ShownCount(), 3);
}

TEST_F(ListUse, ALaterReplyUpdatesItsRowInPlace)
{
    OpenWindow();
    Deliver(Record(u"10.0.0.1", u"first"));
    Deliver(Record(u"10.0.0.2", u"second"));
    ServerRecord renamed = Record(u"10.0.0.1", u"renamed", u"8080");
    renamed.UpTime = u"4 days";
    renamed.Mac = u"";  // this reply's sender could not be resolved
    Deliver(renamed);
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Cell(0, u"NAMELABEL"), u"renamed");
    EXPECT_EQ(Cell(0, u"PORTLABEL"), u"8080");
    EXPECT_EQ(Cell(0, u"UPTIMEABEL"), u"4 days");
    EXPECT_EQ(Cell(0, u"MACLABEL"), u"00-11-32-AB-CD-EF") << "an unknown address does not erase a known one";
    EXPECT_EQ(TextOf("EVENT3"), u"10.0.0.2") << "no event line for an update";
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"2");

    ServerRecord late = Record(u"10.0.0.3");
    late.Mac = u"";
    Deliver(late);
    EXPECT_EQ(Cell(2, u"MACLABEL"), u"");
    late.Mac = u"02-00-00-00-00-03";
    Deliver(late);
    EXPECT_EQ(Cell(2, u"MACLABEL"), u"02-00-00-00-00-03") << "a MAC learnt later fills the row";
}

TEST(ServerRows, ASilentServersRowDimsUntilItAnswers)
{
    ServerListModel model;
    model.SetLastHeardText([](qint64 seconds) { return QStringLiteral("Last heard %1 s ago").arg(seconds); });
    const auto now = ServerListModel::Clock::now();
    std::vector<ServerSighting> batch(2);
    batch[0].record.IP = u"10.0.0.1";
    batch[0].heardAt = now - std::chrono::seconds(8);
    batch[1].record.IP = u"10.0.0.2";
    batch[1].heardAt = now;
    model.Apply(batch);
    model.UpdateSilence(now - std::chrono::seconds(5));
    EXPECT_TRUE(model.RowAt(0).silent);
    EXPECT_FALSE(model.RowAt(1).silent);
    EXPECT_EQ(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(0x8A, 0x94, 0xA3)) << "a muted grey";
    EXPECT_FALSE(model.index(1, 1).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(model.index(0, 1).data(Qt::ToolTipRole).toString(), u"10.0.0.1\nLast heard 8 s ago"_s);

    std::vector<ServerSighting> again(1);
    again[0].record.IP = u"10.0.0.1";
    again[0].heardAt = ServerListModel::Clock::now();
    model.Apply(again);
    EXPECT_FALSE(model.RowAt(0).silent) << "its next reply brings it back";
    EXPECT_EQ(model.index(0, 1).data(Qt::ToolTipRole).toString(), u"10.0.0.1"_s);
}

TEST_F(ListUse, TheRowMenuCopiesAndOffersWakingOnlyWithAKnownMac)
{
    OpenWindow();
    Deliver(Record(u"10.0.0.1", u"with\ttab"));
    ServerRecord noMac = Record(u"10.0.0.2");
    noMac.Mac = u"";
    Deliver(noMac);
    QTableView* view = m_window->Servers().View();
    QMenu* menu = m_window->Rows().Menu();
    const auto item = [menu](const char* name) { return menu->findChild<QAction*>(QString::fromLatin1(name)); };
    std::vector<QString> names;
    const auto actions = menu->actions();
    for (const QAction* action : actions)
        if (!action->isSeparator())
            names.push_back(action->text());
    EXPECT_EQ(names, (std::vector<QString>{u"Open web page"_s, u"Copy IP address"_s, u"Copy MAC address"_s,
                                           u"Copy row"_s, u"Wake up"_s, u"Export list\u2026"_s, u"Watch"_s,
                                           u"History\u2026"_s}));

    const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
    m_window->Rows().ShowMenuAt(second);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_FALSE(item("ROW_WAKE")->isEnabled()) << "no MAC, nothing to wake";
    menu->close();
    m_window->Rows().ShowMenuAt(view->visualRect(view->model()->index(0, 0)).center());
    EXPECT_TRUE(item("ROW_WAKE")->isEnabled());
    item("ROW_COPY_IP")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"10.0.0.1"_s);
    item("ROW_COPY_MAC")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"00-11-32-AB-CD-EF"_s);
    item("ROW_COPY_ROW")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              u"with tab\t10.0.0.1\t80\t2.1\tS-1\t00-11-32-AB-CD-EF\tK4\tk-1\t3 days"_s)
        << "record order, a tab inside a field becomes a blank";
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Copied: 10.0.0.1"_s);
}

TEST_F(ListUse, CtrlCCopiesTheSelectedRowsOnePerLine)
{
    OpenWindow();
    for (const char16_t* ip : {u"10.0.0.1", u"10.0.0.2", u"10.0.0.3"})
        Deliver(Record(ip));
    QTableView* view = m_window->Servers().View();
    view->setFocus();
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->selectionModel()->select(view->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(u"nas\t10.0.0.1\t"_s));
    EXPECT_TRUE(lines[1].startsWith(u"nas\t10.0.0.3\t"_s));
    EXPECT_EQ(lines[2], QString()) << "each line ends with its line end";
}

TEST_F(ListUse, WakeUpSendsTwiceThroughTheAdapterTheServerWasHeardOn)
{
    OpenWindow();
    ServerSighting sighting;
    sighting.record = Record(u"10.0.0.7");
    sighting.heardAt = std::chrono::steady_clock::now();
    sighting.interfaceIndex = 4;
    sighting.localAddress = 0x0100000A;  // 10.0.0.1 in network byte order
    m_window->Feed().Queue()->Push(sighting);
    m_window->Feed().Drain();
    Select(0);
    m_window->Rows().WakeUp();
    ASSERT_EQ(m_woken.size(), 1u);
    EXPECT_EQ(m_woken[0].mac, u"00-11-32-AB-CD-EF"_s);
    EXPECT_EQ(m_woken[0].interfaceIndex, 4u);
    EXPECT_EQ(m_woken[0].localAddress, 0x0100000Au);
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Wake-up packet sent to 00-11-32-AB-CD-EF"_s);
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_woken.size() == 2; }, 2000)) << "and once more after a second";

    m_wakeError = u"Network is unreachable"_s;
    m_window->Rows().WakeUp();
    EXPECT_EQ(TextOf("STATUSTEXT"), u"Waking 00-11-32-AB-CD-EF failed: Network is unreachable"_s);
}

TEST_F(ListUse, ExportWritesTheScannersFormatsByExtension)
{
    OpenWindow();
    std::vector<ServerRecord> records;
    for (const char16_t* ip : {u"10.0.0.1", u"10.0.0.2"}) {
        records.push_back(Record(ip, u"nas, \"quoted\""));
        Deliver(records.back());
    }
    for (const char* name : {"servers.csv", "servers.json", "servers.JSON", "servers"}) {
        SCOPED_TRACE(name);
        m_exportPath = m_settings.filePath(QString::fromLatin1(name));
        m_window->Rows().ExportList();
        QFile file(m_exportPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const bool json = QString::fromLatin1(name).endsWith(u"json"_s, Qt::CaseInsensitive);
        EXPECT_EQ(file.readAll().toStdString(), json ? FormatJson(records) : FormatCsv(records));
        EXPECT_EQ(TextOf("STATUSTEXT"), QStringLiteral("2 servers exported to %1").arg(m_exportPath));
    }
    m_exportPath = m_settings.filePath(u"no/such/folder/x.csv"_s);
    m_window->Rows().ExportList();
    EXPECT_TRUE(TextOf("STATUSTEXT").startsWith(u"Cannot export to "_s)) << TextOf("STATUSTEXT").toStdString();
    m_exportPath.clear();  // the person declined
    m_window->Rows().ExportList();
}

}  // namespace
