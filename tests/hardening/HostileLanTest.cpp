// The real main window with the real discovery engine in the lab, under
// datagrams that anyone on the LAN could send: junk, markup, texts built to
// redirect the browser, and a flood of fake servers. Runs only inside
// scripts/netlab.sh (it broadcasts, and spoofs senders with a raw socket).
#include "RawUdpSender.h"
#include "base/LocaleText.h"
#include "discovery/ServerFields.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/VindrelFrameWnd.h"
#include "uilib/ResourcePath.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QTableView>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace {

constexpr std::uint16_t kReplyPort = 6000;
constexpr std::uint16_t kServerPort = 6001;

// What the window sees of the network, and the one window of this process,
// which every test shares: its engine and list carry from test to test.
struct LabWindow
{
    QTemporaryDir settings;
    std::unique_ptr<CVindrelFrameWnd> window;
    std::vector<QUrl> opened;
    std::uint32_t host = 0;  // the lab host's address on link 1
};
LabWindow* g_setup = nullptr;  // GUI thread; made and deleted by the test suite

bool InLab()
{
    const char* lab = std::getenv("VINDREL_LAB");
    return lab && std::string(lab) == "1";
}

const ServerListModel& Model()
{
    return g_setup->window->Servers().Model();
}

int RowCount()
{
    return Model().Count();
}

int RowOf(const QString& ip)
{
    return Model().FindRow(ip.toStdU16String());
}

QString Cell(int row, const char16_t* label)
{
    const auto field = std::find_if(kServerFields.begin(), kServerFields.end(),
                                    [&](const ServerField& f) { return f.rowLabel == label; });
    if (row < 0 || row >= RowCount() || field == kServerFields.end())
        return QStringLiteral("<missing>");
    return Model().index(row, static_cast<int>(field - kServerFields.begin())).data().toString();
}

// Pumps events until `done` or `ms` pass; gives the longest time one turn of
// the event loop took meanwhile, so that a frozen window shows.
struct PumpResult
{
    bool done = false;
    qint64 longestTurnMs = 0;
};
PumpResult Pump(const std::function<bool()>& done, qint64 ms)
{
    PumpResult result;
    QElapsedTimer clock, turn;
    clock.start();
    while (!(result.done = done()) && clock.elapsed() < ms) {
        turn.start();
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        result.longestTurnMs = std::max(result.longestTurnMs, turn.elapsed());
    }
    return result;
}

// What a tooltip or a list cell would put on screen for `text`: Qt renders a
// tooltip as rich text when it looks like markup.
QString ShownAsToolTip(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

// Each listed row's cells, as the view's model gives them to the screen.
void ExpectRowShownAsPlainText(int row)
{
    const QTableView* view = g_setup->window->Servers().View();
    ASSERT_NE(view, nullptr);
    const QAbstractItemModel* model = view->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        const QModelIndex index = model->index(row, column);
        const QString shown = model->data(index, Qt::DisplayRole).toString();
        const QVariant tip = model->data(index, Qt::ToolTipRole);
        if (tip.isValid()) {
            EXPECT_EQ(ShownAsToolTip(tip.toString()), shown)
                << "column " << column << ": the tooltip interprets markup";
        }
    }
    for (const QLabel* label : g_setup->window->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

// Opens the row's page as a double click would; gives what was opened.
std::vector<QUrl> OpenPageOf(int row)
{
    g_setup->opened.clear();
    QTableView* view = g_setup->window->Servers().View();
    view->setCurrentIndex(view->model()->index(row, 0));
    g_setup->window->OpenServerPage();
    return g_setup->opened;
}

class HostileLan : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!InLab())
            return;
        g_setup = new LabWindow;
        const std::string hosts = std::getenv("VINDREL_LAB_HOST_ADDRS");
        g_setup->host = RawUdpSender::Address(hosts.substr(0, hosts.find(' ')));
        SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
        CVindrelFrameWnd::Options options;
        options.startDiscovery = true;
        options.openUrl = [](const QUrl& url) {
            g_setup->opened.push_back(url);
            return true;
        };
        options.settingsDir = g_setup->settings.path() + u'/';
        g_setup->window = std::make_unique<CVindrelFrameWnd>(std::move(options));
        if (g_setup->window->Initialise())
            g_setup->window->show();
    }

    static void TearDownTestSuite()
    {
        delete g_setup;
        g_setup = nullptr;
    }

    void SetUp() override
    {
        if (!InLab())
            GTEST_SKIP() << "broadcasts and spoofs senders: runs only inside scripts/netlab.sh";
        ASSERT_NE(g_setup->host, 0u);
        ASSERT_NE(g_setup->window->Servers().View(), nullptr) << "the main window was not created";
        ASSERT_TRUE(m_sender.IsOpen()) << "a raw socket needs root";
    }

    // Sends `payload` from `source`, then a plain reply from `marker`, and
    // waits for the marker's row: the listener takes datagrams in order, so
    // by then the first has been handled.
    void SendAndSettle(std::uint32_t source, std::string_view payload, std::uint32_t marker)
    {
        ASSERT_TRUE(m_sender.Send(source, kServerPort, g_setup->host, kReplyPort, payload));
        ASSERT_TRUE(m_sender.Send(marker, kServerPort, g_setup->host, kReplyPort, "marker\n80\n"));
        const QString markerIp = QString::fromStdString(RawUdpSender::Dotted(marker));
        ASSERT_TRUE(Pump([&] { return RowOf(markerIp) >= 0; }, 5000).done) << "the marker never arrived";
    }

    RawUdpSender m_sender;
};

// The real servers of the lab reply with these fields (korvan-sim --fields).
struct RealServer
{
    QString ip, mac;
    std::vector<QString> lines;  // the eight reply lines
};
std::vector<RealServer> RealServers()
{
    std::vector<std::vector<QString>> rows;
    std::ifstream fields(VINDREL_SOURCE_DIR "/tests/hardening/data/real-servers.tsv");
    for (std::string line; std::getline(fields, line);)
        rows.push_back([&] {
            std::vector<QString> parts;
            for (const QString& part : QString::fromUtf8(line).split(u'\t'))
                parts.push_back(part);
            parts.resize(8);
            return parts;
        }());
    std::vector<RealServer> servers;
    std::ifstream listed(std::string(std::getenv("VINDREL_LAB_DIR")) + "/servers.txt");
    int link = 0;
    std::string ip, mac;
    while (!rows.empty() && listed >> link >> ip >> mac)
        servers.push_back({QString::fromStdString(ip), QString::fromStdString(mac).toUpper().replace(u':', u'-'),
                           rows[servers.size() % rows.size()]});
    return servers;
}

void ExpectRealServersListedTruly()
{
    const std::vector<RealServer> servers = RealServers();
    ASSERT_FALSE(servers.empty());
    for (const RealServer& s : servers) {
        SCOPED_TRACE(s.ip.toStdString());
        const int row = RowOf(s.ip);
        ASSERT_GE(row, 0) << "a real server is missing";
        EXPECT_EQ(Cell(row, u"NAMELABEL"), s.lines[0]);
        EXPECT_EQ(Cell(row, u"PORTLABEL"), s.lines[1]);
        EXPECT_EQ(Cell(row, u"VERSIONLABEL"), s.lines[2]);
        EXPECT_EQ(Cell(row, u"SERIALLABEL"), s.lines[3]);
        EXPECT_EQ(Cell(row, u"DEVICETYPELABEL"), s.lines[4]);
        EXPECT_EQ(Cell(row, u"MACLABEL"), s.mac) << "the neighbour table's, never the reply's text";
        EXPECT_EQ(Cell(row, u"KORVANIDLABEL"), s.lines[6]);
        EXPECT_EQ(Cell(row, u"UPTIMEABEL"), s.lines[7]);
    }
}

TEST_F(HostileLan, RealServersAreListedWithTheirTrueFields)
{
    const auto all = [] { return RowCount() >= static_cast<int>(RealServers().size()); };
    ASSERT_TRUE(Pump(all, 5000).done);
    ExpectRealServersListedTruly();
}

struct HostileReply
{
    const char* why;
    std::string payload;
    bool listed;          // whether the sender gets a row
    std::u16string name;  // what the row shows, when listed
    std::u16string port;
    bool opensPage;  // whether activating the row opens http://ip:port
};

const std::string kTenThousandLines(10000, '\n');

// Bytes of a literal, NULs included.
template <std::size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

const HostileReply kHostileReplies[] = {
    {"an empty datagram is no reply", "", false, u"", u"", false},
    {"65 507 bytes are no reply", std::string(65507, 'x'), false, u"", u"", false},
    {"10 000 lines are no reply", kTenThousandLines, false, u"", u"", false},
    {"2047 line ends give empty fields", std::string(2047, '\n'), true, u"", u"", true},
    {"a NUL ends the text", Bytes("nul\n80\n\0evil\n8080\n"), true, u"nul", u"80", true},
    {"UTF-8 is shown as sent", "\xE5\xAD\x98\xE5\x82\xA8\n80\n", true, u"\u5B58\u50A8", u"80", true},
    {"a GBK name in a UTF-8 locale is read as GB18030", "\xD6\xD0\xCE\xC4\n80\n", true, u"\u4E2D\u6587", u"80", true},
    // One line is one text: a line that is not UTF-8 is GB18030 all through.
    {"a line mixing UTF-8 and GBK is read as GB18030", "\xE4\xB8\xAD\xD6\xD0x\n80\n", true, u"\u6D93\uE14F\u8873",
     u"80", true},
    {"binary bytes are no line ends", "\x01\x02\x7F\xFF\xFE\x80\n80\n", true, u"\x01\x02\x7F\uFFFD\u4723", u"80", true},
    {"HTML in a name is shown as characters", "<b>big</b><img src=\"http://10.0.0.9/t.png\">\n80\n", true,
     u"<b>big</b><img src=\"http://10.0.0.9/t.png\">", u"80", true},
    {"a link in a name is not a link", "<a href=\"http://10.0.0.9/\">click</a>\n80\n", true,
     u"<a href=\"http://10.0.0.9/\">click</a>", u"80", true},
    {"control characters stay as they are", "a\tb\rc\x1B[2J\x07\n80\n", true, u"a\tb\rc\x1B[2J\x07", u"80", true},
    {"a port with user info would send the browser elsewhere", "n\n80@10.0.0.9\n", true, u"n", u"80@10.0.0.9", false},
    {"a port with a path", "n\n80/../../admin\n", true, u"n", u"80/../../admin", false},
    {"a port with a fragment and host", "n\n80#@10.0.0.9\n", true, u"n", u"80#@10.0.0.9", false},
    {"a port with a scheme", "n\njavascript:alert(1)\n", true, u"n", u"javascript:alert(1)", false},
    {"a port with a CR and a header", "n\n80\rLocation: http://10.0.0.9/\n", true, u"n",
     u"80\rLocation: http://10.0.0.9/", false},
    {"a port with blanks", "n\n 80\n", true, u"n", u" 80", false},
    {"a port out of range", "n\n65536\n", true, u"n", u"65536", false},
    {"port zero", "n\n0\n", true, u"n", u"0", false},
    {"full-width digits are no port", "n\n\xEF\xBC\x98\xEF\xBC\x90\n", true, u"n", u"\uFF18\uFF10", false},
    {"a plain port opens the page", "n\n8080\n", true, u"n", u"8080", true},
};

TEST_F(HostileLan, EachReplyIsListedAsPlainTextOrNotAtAll)
{
    const std::uint32_t first = RawUdpSender::Address("10.21.200.1");
    const std::uint32_t markers = RawUdpSender::Address("10.21.201.1");
    for (std::size_t i = 0; i < std::size(kHostileReplies); ++i) {
        const HostileReply& c = kHostileReplies[i];
        SCOPED_TRACE(c.why);
        const std::uint32_t source = first + static_cast<std::uint32_t>(i);
        const QString ip = QString::fromStdString(RawUdpSender::Dotted(source));
        ASSERT_NO_FATAL_FAILURE(SendAndSettle(source, c.payload, markers + static_cast<std::uint32_t>(i)));
        const int row = RowOf(ip);
        ASSERT_EQ(row >= 0, c.listed);
        if (!c.listed)
            continue;
        EXPECT_EQ(Cell(row, u"NAMELABEL").toStdU16String(), c.name);
        EXPECT_EQ(Cell(row, u"PORTLABEL").toStdU16String(), c.port);
        EXPECT_EQ(Cell(row, u"MACLABEL"), QString()) << "a spoofed sender has no hardware address";
        ExpectRowShownAsPlainText(row);
        const std::vector<QUrl> opened = OpenPageOf(row);
        if (c.opensPage) {
            ASSERT_EQ(opened.size(), 1u);
            const QUrl& url = opened[0];
            EXPECT_EQ(url.scheme(), u"http");
            EXPECT_EQ(url.host(), ip);
            EXPECT_EQ(url.port(), c.port.empty() ? -1 : QString::fromStdU16String(c.port).toInt());
            EXPECT_TRUE(url.userInfo().isEmpty() && url.path().isEmpty() && !url.hasQuery() && !url.hasFragment())
                << url.toString().toStdString();
        } else {
            EXPECT_TRUE(opened.empty()) << opened[0].toString().toStdString();
        }
    }
    ExpectRealServersListedTruly();
}

// 10 000 servers nobody has heard of, within about three seconds: the window
// keeps answering, lists each once with its own fields, and the real
// servers are still there with theirs.
TEST_F(HostileLan, FloodOfFakeServersLeavesTheWindowResponsiveAndTruthful)
{
    constexpr std::uint32_t kFakes = 10000;
    constexpr std::uint32_t kBurst = 500;
    const std::uint32_t first = RawUdpSender::Address("10.21.100.0");
    const auto fakeIp = [&](std::uint32_t i) { return first + i; };
    const auto fakeReply = [&](std::uint32_t i) {
        return "fake-" + std::to_string(i) + "\n" + std::to_string(1 + i % 65535) + "\n1.0\nS" + std::to_string(i) +
               "\nT\nM\nK" + std::to_string(i) + "\nU\n";
    };
    const int before = RowCount();
    QElapsedTimer clock;
    clock.start();
    qint64 longestTurnMs = 0;
    for (std::uint32_t sent = 0; sent < kFakes;) {
        for (const std::uint32_t end = std::min(kFakes, sent + kBurst); sent < end; ++sent)
            ASSERT_TRUE(m_sender.Send(fakeIp(sent), kServerPort, g_setup->host, kReplyPort, fakeReply(sent)));
        longestTurnMs = std::max(longestTurnMs, Pump([] { return false; }, 150).longestTurnMs);
    }
    const qint64 sendMs = clock.elapsed();
    const PumpResult drained = Pump([&] { return RowCount() >= before + static_cast<int>(kFakes); }, 30000);
    longestTurnMs = std::max(longestTurnMs, drained.longestTurnMs);
    const int listed = RowCount() - before;
    std::printf("flood: %u fakes sent in %lld ms, %d listed after %lld ms, longest event-loop turn %lld ms\n", kFakes,
                static_cast<long long>(sendMs), listed, static_cast<long long>(clock.elapsed()),
                static_cast<long long>(longestTurnMs));

    EXPECT_LT(longestTurnMs, 500) << "the window froze under the flood";
    // UDP may drop a few under such a burst; a fake that is listed shows its own fields.
    EXPECT_GE(listed, static_cast<int>(kFakes * 9 / 10));
    for (std::uint32_t i = 0; i < kFakes; i += 97) {
        const int row = RowOf(QString::fromStdString(RawUdpSender::Dotted(fakeIp(i))));
        if (row < 0)
            continue;
        SCOPED_TRACE(i);
        EXPECT_EQ(Cell(row, u"NAMELABEL"), QStringLiteral("fake-%1").arg(i));
        EXPECT_EQ(Cell(row, u"SERIALLABEL"), QStringLiteral("S%1").arg(i));
    }
    EXPECT_EQ(g_setup->window->Control(QStringLiteral("SERVERNUMLABEL2"))->property("text").toString(),
              QString::number(RowCount()));

    // Two more probe rounds, then every address is listed once.
    Pump([] { return false; }, 1200);
    QSet<QString> addresses;
    for (int row = 0; row < RowCount(); ++row)
        addresses.insert(Cell(row, u"IPLABEL"));
    EXPECT_EQ(addresses.size(), RowCount()) << "a server was listed twice";
    ExpectRealServersListedTruly();
}

}  // namespace
