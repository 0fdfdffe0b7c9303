// What the window remembers of servers: the tracker and book behind it, the
// Known servers view, History…, the event line and the notifications —
// offscreen, with a real book in a temporary folder.

#include "MainWindowFixture.h"
#include "i18n/TextCatalogue.h"
#include "mainwnd/EventNotifier.h"
#include "mainwnd/EventText.h"
#include "mainwnd/HistoryDialog.h"
#include "mainwnd/KnownServerActions.h"
#include "mainwnd/KnownServers.h"
#include "mainwnd/KnownServersDialog.h"
#include "mainwnd/KnownServersModel.h"
#include "mainwnd/NotifySettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QThread>
#include <QTableView>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using Clock = std::chrono::system_clock;

// A name a hostile server might send: it must show as these characters.
const std::u16string kMarkupName = u"<a href=\"file:///etc/passwd\">x</a><img src=x>";

TextLookup English()
{
    return [](const QString& key) {
        const char16_t* t = QueryCatalogueText(TextTable::MainWindow, reinterpret_cast<const char16_t*>(key.utf16()),
                                               kLanguageEnglish);
        return t ? QString::fromUtf16(t) : QString();
    };
}

ServerSighting Sighting(const std::u16string& ip, const std::u16string& id, const std::u16string& name = u"nas",
                        const std::u16string& version = u"2.1.4")
{
    ServerSighting s;
    s.record.Name = name;
    s.record.IP = ip;
    s.record.Port = u"80";
    s.record.Version = version;
    s.record.KorvanID = id;
    s.record.Mac = u"00-11-22-33-44-55";
    return s;
}

// Runs the event loop until `done` holds or two seconds pass.
template <typename Condition>
bool WaitUntil(Condition done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 2000)
        QTest::qWait(10);
    return done();
}

class KnownServersTest : public ::testing::Test
{
protected:
    std::string BookPath() const { return (m_dir.path() + QStringLiteral("/servers.db")).toStdString(); }

    // A KnownServers on the temporary book, loaded, on a clock the test moves.
    std::unique_ptr<KnownServers> Open()
    {
        auto known = std::make_unique<KnownServers>(BookPath());
        known->SetClock([this] { return m_now; });
        known->Load();
        EXPECT_TRUE(WaitUntil([&] { return known->IsLoaded(); }));
        return known;
    }

    QTemporaryDir m_dir;
    Clock::time_point m_now = Clock::time_point(std::chrono::seconds(1'800'000'000));
};

TEST_F(KnownServersTest, ARestartKnowsEveryServerAndWhereItWasLastSeen)
{
    {
        auto known = Open();
        known->Take({Sighting(u"10.0.0.20", u"KORVAN-1"), Sighting(u"10.0.0.21", u"KORVAN-2")});
        ASSERT_EQ(known->Known().size(), 2u);
    }  // the book writes what is pending as it closes
    m_now += 10min;
    auto known = Open();
    const std::vector<KnownServer> servers = known->Known();
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].id, "KORVAN-1");
    EXPECT_EQ(servers[0].lastAddress, "10.0.0.20");
    EXPECT_EQ(servers[1].lastAddress, "10.0.0.21");
}

TEST_F(KnownServersTest, SightingsBeforeTheBookIsReadAreNotLost)
{
    {
        auto known = Open();
        known->Take({Sighting(u"10.0.0.20", u"KORVAN-1")});
    }
    KnownServers known(BookPath());
    known.SetClock([this] { return m_now; });
    std::vector<ServerEvent> events;
    QObject::connect(&known, &KnownServers::EventsHappened, [&](const std::vector<ServerEvent>& e) {
        events.insert(events.end(), e.begin(), e.end());
    });
    // Heard before Load finished: the server must not look new.
    known.Take({Sighting(u"10.0.0.35", u"KORVAN-1")});
    known.Load();
    ASSERT_TRUE(WaitUntil([&] { return known.IsLoaded(); }));
    // The old address may still answer for a moment after a restart: the
    // move is decided once it has not.
    m_now += 5s;
    known.Tick();
    ASSERT_EQ(known.Known().size(), 1u);
    EXPECT_EQ(known.Known()[0].lastAddress, "10.0.0.35");
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, ServerEvent::Kind::kMoved);
}

TEST_F(KnownServersTest, ABookThatCannotBeUsedIsToldOnceAndServersAreStillKnown)
{
    // A folder where the file should be: SQLite cannot open it.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("servers.db")));
    KnownServers known(BookPath());
    QStringList told;
    QObject::connect(&known, &KnownServers::HistoryUnavailable, [&](const QString& why) { told << why; });
    known.Load();
    ASSERT_TRUE(WaitUntil([&] { return known.IsLoaded(); }));
    known.Take({Sighting(u"10.0.0.20", u"KORVAN-1")});
    known.Take({Sighting(u"10.0.0.21", u"KORVAN-2")});
    ASSERT_TRUE(WaitUntil([&] { return !told.isEmpty(); }));
    QTest::qWait(50);
    EXPECT_EQ(told.size(), 1);
    EXPECT_FALSE(told[0].isEmpty());
    EXPECT_EQ(known.Known().size(), 2u);
}

TEST_F(KnownServersTest, HistoryComesBackOnTheGuiThreadOldestLastInTheDialog)
{
    auto known = Open();
    known->Take({Sighting(u"10.0.0.20", u"KORVAN-1")});
    m_now += 2min;
    known->Tick();  // silent
    known->Take({Sighting(u"10.0.0.20", u"KORVAN-1", u"nas", u"2.1.5")});  // back, new version
    std::vector<ServerEvent> history;
    bool done = false;
    known->History("KORVAN-1", [&](std::vector<ServerEvent> events) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        history = std::move(events);
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    ASSERT_EQ(history.size(), 4u);  // found, silent, back, version

    HistoryDialog dialog(QStringLiteral("nas"), QStringLiteral("KORVAN-1"), English(), QStringLiteral("en"), 60s);
    dialog.SetEvents(history);
    ASSERT_EQ(dialog.EventCount(), 4);
    EXPECT_EQ(dialog.What(0), QStringLiteral("nas changed version from 2.1.4 to 2.1.5"));
    EXPECT_EQ(dialog.What(3), QStringLiteral("nas found at 10.0.0.20"));
}

TEST(EventText, SentencesNameWhatChanged)
{
    struct Case
    {
        const char* why;
        ServerEvent::Kind kind;
        std::string from, to;
        const char* expected;
    };
    const Case cases[] = {
        {"a move names both addresses", ServerEvent::Kind::kMoved, "10.0.0.20", "10.0.0.35",
         "KORVAN-0003 moved from 10.0.0.20 to 10.0.0.35"},
        {"silence names the threshold", ServerEvent::Kind::kSilent, "10.0.0.20", "",
         "KORVAN-0003 has not answered for 1 min"},
        {"a version change names both", ServerEvent::Kind::kVersion, "2.1.4", "2.1.5",
         "KORVAN-0003 changed version from 2.1.4 to 2.1.5"},
        {"back names the address", ServerEvent::Kind::kBack, "", "10.0.0.20", "KORVAN-0003 is back at 10.0.0.20"},
    };
    for (const Case& c : cases) {
        ServerEvent e{c.kind, "KORVAN-0003", {}, c.from, c.to, {}};
        EXPECT_EQ(EventText(e, QStringLiteral("KORVAN-0003"), 60s, English()), QString::fromLatin1(c.expected))
            << c.why;
    }
}

TEST(EventText, BackWithANewVersionIsOneSentence)
{
    const std::vector<ServerEvent> events = {
        {ServerEvent::Kind::kBack, "K1", {}, {}, "10.0.0.20", {}},
        {ServerEvent::Kind::kVersion, "K1", {}, "2.1.4", "2.1.5", {}},
        {ServerEvent::Kind::kVersion, "K2", {}, "1.0", "1.1", {}},  // another server: its own line
    };
    const std::vector<EventLine> lines = JoinBackAndVersion(events);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(EventLineText(lines[0], QStringLiteral("nas"), 60s, English()),
              QStringLiteral("nas is back (2.1.4 \u2192 2.1.5)"));
    EXPECT_EQ(lines[1].event.id, "K2");
}

TEST(EventText, DurationsUseTheLargestWholeUnit)
{
    EXPECT_EQ(DurationText(45s, English()), QStringLiteral("45 s"));
    EXPECT_EQ(DurationText(60s, English()), QStringLiteral("1 min"));
    EXPECT_EQ(DurationText(90s, English()), QStringLiteral("90 s"));
    EXPECT_EQ(DurationText(7200s, English()), QStringLiteral("2 h"));
}

class NotifierTest : public KnownServersTest
{
protected:
    void SetUp() override
    {
        m_known = Open();
        EventNotifier::Hooks hooks;
        hooks.notify = [this](const QString&, const QString& body) {
            m_bodies << body;
            return m_trayShown;
        };
        hooks.alert = [this] { ++m_alerts; };
        m_notifier = std::make_unique<EventNotifier>(*m_known, hooks);
        m_notifier->SetText(English());
        m_notifier->SetEventLine(&m_lead, &m_line);
        m_line.setTextFormat(Qt::PlainText);
    }

    std::unique_ptr<KnownServers> m_known;
    std::unique_ptr<EventNotifier> m_notifier;
    QLabel m_lead;
    QLabel m_line;
    QStringList m_bodies;
    bool m_trayShown = true;
    int m_alerts = 0;
};

TEST_F(NotifierTest, OnlyWatchedServersTellWhenTheyGoComeBackOrMove)
{
    m_known->Take({Sighting(u"10.0.0.20", u"K1", u"watched"), Sighting(u"10.0.0.21", u"K2", u"other")});
    EXPECT_TRUE(m_bodies.isEmpty()) << "a new server tells nothing by default";
    ASSERT_TRUE(m_known->SetWatched("K1", true));
    m_now += 2min;
    m_known->Tick();
    ASSERT_EQ(m_bodies.size(), 1);
    EXPECT_EQ(m_bodies[0], QStringLiteral("watched has not answered for 1 min"));
    m_known->Take({Sighting(u"10.0.0.35", u"K1", u"watched", u"2.1.5"), Sighting(u"10.0.0.21", u"K2", u"other")});
    // Back with its new version, then moved; the unwatched one tells nothing.
    ASSERT_EQ(m_bodies.size(), 3);
    EXPECT_EQ(m_bodies[1], QStringLiteral("watched is back (2.1.4 \u2192 2.1.5)"));
    EXPECT_EQ(m_bodies[2], QStringLiteral("watched moved from 10.0.0.20 to 10.0.0.35"));
    EXPECT_EQ(m_line.text(), QStringLiteral("other is back at 10.0.0.21")) << "the line tells every server's events";
    EXPECT_TRUE(m_lead.isHidden());
}

TEST_F(NotifierTest, SettingsChooseWhichEventsTell)
{
    NotifySettings settings;
    settings.onNew = true;
    settings.onMoved = false;
    m_notifier->SetSettings(settings);
    m_known->Take({Sighting(u"10.0.0.20", u"K1", u"nas")});
    ASSERT_EQ(m_bodies.size(), 1);
    EXPECT_EQ(m_bodies[0], QStringLiteral("nas found at 10.0.0.20"));
    m_known->SetWatched("K1", true);
    m_now += 10s;  // quiet long enough for a move, not for silence
    m_known->Take({Sighting(u"10.0.0.35", u"K1", u"nas")});
    EXPECT_EQ(m_bodies.size(), 1) << "moves were switched off";
    EXPECT_EQ(m_line.text(), QStringLiteral("nas moved from 10.0.0.20 to 10.0.0.35"));
}

TEST_F(NotifierTest, WithoutATrayTheWindowAsksForAttention)
{
    m_trayShown = false;
    m_known->Take({Sighting(u"10.0.0.20", u"K1")});
    m_known->SetWatched("K1", true);
    m_now += 2min;
    m_known->Tick();
    EXPECT_EQ(m_alerts, 1);
    EXPECT_EQ(m_line.text(), QStringLiteral("nas has not answered for 1 min"));
}

TEST_F(NotifierTest, MarkupInANameShowsAsItsCharactersEverywhere)
{
    m_known->Take({Sighting(u"10.0.0.20", u"K1", kMarkupName)});
    m_known->SetWatched("K1", true);
    m_now += 2min;
    m_known->Tick();
    const QString name = QString::fromStdU16String(kMarkupName);
    const QString sentence = name + QStringLiteral(" has not answered for 1 min");
    // The event line: a plain-text label holding the characters.
    EXPECT_EQ(m_line.textFormat(), Qt::PlainText);
    EXPECT_EQ(m_line.text(), sentence);
    // The notification: plain text to the hook, escaped for the service.
    ASSERT_EQ(m_bodies.size(), 1);
    EXPECT_EQ(m_bodies[0], sentence);
    EXPECT_EQ(NotificationBody(m_bodies[0]),
              QStringLiteral("&lt;a href=&quot;file:///etc/passwd&quot;&gt;x&lt;/a&gt;&lt;img src=x&gt; has not "
                             "answered for 1 min"));
    // The Known view: the cell and its tooltip.
    KnownServersModel model;
    model.SetText(English(), QStringLiteral("en"));
    model.SetServers(m_known->Known());
    EXPECT_EQ(model.data(model.index(0, KnownServersModel::kName), Qt::DisplayRole).toString(), name);
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ToolTipRole).toString().contains(QStringLiteral("<img")));
    // History…: the sentence as written.
    HistoryDialog dialog(name, QStringLiteral("K1"), English(), QStringLiteral("en"), 60s);
    dialog.SetEvents({{ServerEvent::Kind::kSilent, "K1", m_now, "10.0.0.20", {}, {}}});
    EXPECT_EQ(dialog.What(0), sentence);
    EXPECT_TRUE(dialog.windowTitle().contains(name));
}

TEST_F(KnownServersTest, TheKnownViewDimsSilentServersAndSaysWhenAndWhere)
{
    auto known = Open();
    known->Take({Sighting(u"10.0.0.20", u"K1", u"quiet"), Sighting(u"10.0.0.21", u"K2", u"busy")});
    m_now += 2min;
    known->Take({Sighting(u"10.0.0.21", u"K2", u"busy")});
    known->Tick();
    KnownServersDialog dialog(*known, {});
    dialog.Retranslate(English(), QStringLiteral("en"));
    dialog.Refresh();
    const KnownServersModel& model = dialog.Model();
    ASSERT_EQ(model.Count(), 2);
    EXPECT_TRUE(model.data(model.index(0, 0), Qt::ForegroundRole).isValid()) << "silent: dimmed";
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ForegroundRole).isValid()) << "answering: as usual";
    EXPECT_TRUE(model.SeenText(model.At(0)).startsWith(QStringLiteral("last seen ")));
    EXPECT_TRUE(model.SeenText(model.At(0)).endsWith(QStringLiteral(" at 10.0.0.20")));
    EXPECT_EQ(dialog.Counter()->text(), QStringLiteral("2 known, 1 answering"));
}

TEST_F(KnownServersTest, ForgetAndWatchFromTheKnownView)
{
    auto known = Open();
    known->Take({Sighting(u"10.0.0.20", u"K1", u"one"), Sighting(u"10.0.0.21", u"K2", u"two")});
    QStringList opened;
    QString status;
    KnownServersDialog::Hooks hooks;
    hooks.openPage = [&](const QString& address, const QString& port) { opened << address + u':' + port; };
    hooks.status = [&](const QString& message) { status = message; };
    KnownServersDialog dialog(*known, hooks);
    dialog.Retranslate(English(), QStringLiteral("en"));
    dialog.Refresh();
    dialog.View()->setCurrentIndex(dialog.View()->model()->index(0, 0));
    dialog.OpenPage();
    EXPECT_EQ(opened, QStringList{QStringLiteral("10.0.0.20:80")});
    dialog.ToggleWatch();
    EXPECT_TRUE(known->Find("K1")->watched);
    dialog.Forget();
    EXPECT_FALSE(known->Find("K1"));
    EXPECT_EQ(status, QStringLiteral("Forgot one"));
    EXPECT_EQ(dialog.Model().Count(), 1);
}

TEST(NotifySettings, KeptBesideLangXmlAndOutOfRangeFallsBack)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    EXPECT_EQ(NotifySettings::Load(folder), NotifySettings{}) << "no file: the defaults";
    NotifySettings s;
    s.onNew = true;
    s.onBack = false;
    s.silentAfter = 300s;
    ASSERT_TRUE(s.Save(folder));
    EXPECT_EQ(NotifySettings::Load(folder), s);
    QSettings(folder + NotifySettings::FileName(), QSettings::IniFormat).setValue(QStringLiteral("silentAfterSeconds"), 1);
    EXPECT_EQ(NotifySettings::Load(folder).silentAfter, NotifySettings::kDefaultSilentAfter);
}

}  // namespace

// The whole way, as a person would take it: six servers heard, the window
// closed; at the next start two stay silent and one answers at a new
// address. The Known view shows all six, the two dimmed with when and where
// they were last seen, the moved one once; vindrel-scan --history (the
// scripts' view of the same book) says the same.
class KnownAcrossRestarts : public MainWindowFixture
{
};

TEST_F(KnownAcrossRestarts, TheKnownViewAndTheScannerTellTheSameHistory)
{
    const auto server = [](int i, const std::u16string& ip) {
        ServerRecord r = Record(ip, u"nas-" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
        r.KorvanID = u"KORVAN-000" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        return r;
    };
    OpenWindow();
    for (int i = 1; i <= 6; ++i)
        Deliver(server(i, u"10.0.0." + std::u16string(1, static_cast<char16_t>(u'0' + i))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->Known().Servers().Known().size() == 6; }, 3000));
    m_window.reset();  // the book writes what it holds as the window goes

    OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->Known().Servers().IsLoaded(); }, 3000));
    // 1-3 answer as before, 4 at a new address, 5 and 6 stay silent; each
    // answers every half second, as servers do.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 6500) {
        for (int i = 1; i <= 3; ++i)
            Deliver(server(i, u"10.0.0." + std::u16string(1, static_cast<char16_t>(u'0' + i))));
        Deliver(server(4, u"10.0.0.40"));
        QTest::qWait(500);
    }
    m_window->Known().ShowKnownServers();
    KnownServersDialog* known = m_window->Known().KnownDialog();
    ASSERT_NE(known, nullptr);
    const KnownServersModel& model = known->Model();
    ASSERT_EQ(model.Count(), 6);
    EXPECT_EQ(model.AnsweringCount(), 4);
    for (int row = 0; row < model.Count(); ++row) {
        const KnownServer& s = model.At(row);
        const bool silent = s.id == "KORVAN-0005" || s.id == "KORVAN-0006";
        EXPECT_EQ(model.data(model.index(row, 0), Qt::ForegroundRole).isValid(), silent) << s.id;
        if (silent) {
            EXPECT_TRUE(model.SeenText(s).startsWith(u"last seen "_s)) << model.SeenText(s).toStdString();
        }
        if (s.id == "KORVAN-0004") {
            EXPECT_EQ(s.lastAddress, "10.0.0.40");
        }
    }
    EXPECT_EQ(m_window->Known().Notifier().LastLine().isEmpty(), false);
    m_window.reset();

    const QString book = m_settings.filePath(u"servers.db"_s);
    QProcess scan;
    scan.start(QStringLiteral(VINDREL_BIN_DIR "/vindrel-scan"), {u"--history"_s, u"--json"_s, u"--state"_s, book});
    ASSERT_TRUE(scan.waitForFinished(10000));
    ASSERT_EQ(scan.exitCode(), 0) << scan.readAllStandardError().toStdString();
    const QJsonArray servers = QJsonDocument::fromJson(scan.readAllStandardOutput()).object()[u"servers"_s].toArray();
    ASSERT_EQ(servers.size(), 6);
    for (const QJsonValue& v : servers) {
        const QJsonObject s = v.toObject();
        int moved = 0;
        for (const QJsonValue& e : s[u"events"_s].toArray())
            moved += e.toObject()[u"kind"_s].toString() == u"moved"_s;
        if (s[u"id"_s].toString() == u"KORVAN-0004"_s) {
            EXPECT_EQ(moved, 1) << "moved once";
            EXPECT_EQ(s[u"lastAddress"_s].toString(), u"10.0.0.40"_s);
        } else {
            EXPECT_EQ(moved, 0) << s[u"id"_s].toString().toStdString();
        }
    }
}
