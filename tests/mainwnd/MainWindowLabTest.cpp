// The real window with the real discovery engine against simulated servers.
// Runs only inside scripts/netlab.sh: the engine broadcasts.
#include "MainWindowFixture.h"

#include "discovery/EngineLog.h"
#include "mainwnd/RowActions.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "uilib/ResourcePath.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTreeView>

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class MainWindowInLab : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        const char* lab = std::getenv("VINDREL_LAB");
        if (!lab || std::string(lab) != "1")
            GTEST_SKIP() << "broadcasts: runs only inside scripts/netlab.sh";
        MainWindowFixture::SetUp();
    }

    // The address of the i-th simulated server of servers.txt.
    static QString LabServerIp(int i)
    {
        std::ifstream file(std::string(std::getenv("VINDREL_LAB_DIR")) + "/servers.txt");
        int link = 0;
        std::string ip, mac;
        for (int n = 0; file >> link >> ip >> mac; ++n) {
            if (n == i)
                return QString::fromStdString(ip);
        }
        return {};
    }

    // ip -> MAC text of every simulated server.
    static std::map<QString, QString> LabServers()
    {
        std::map<QString, QString> servers;
        std::ifstream file(std::string(std::getenv("VINDREL_LAB_DIR")) + "/servers.txt");
        std::string line;
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            int link = 0;
            std::string ip, mac;
            if (fields >> link >> ip >> mac)
                servers[QString::fromStdString(ip)] = QString::fromStdString(mac).toUpper().replace(u':', u'-');
        }
        return servers;
    }
};

TEST_F(MainWindowInLab, ListsEverySimulatedServerOnceWithItsHardwareAddress)
{
    const std::map<QString, QString> servers = LabServers();
    ASSERT_FALSE(servers.empty());

    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.settingsDir = m_settings.path() + u'/';
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise());
    m_window->show();

    const auto filled = [&] { return RowCount() >= static_cast<int>(servers.size()); };
    ASSERT_TRUE(QTest::qWaitFor(filled, 4000)) << RowCount() << " rows";
    // Several more probe rounds: every server answers each, none is added twice.
    QTest::qWait(2000);
    ASSERT_EQ(RowCount(), static_cast<int>(servers.size()));
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), QString::number(servers.size()));
    for (int row = 0; row < RowCount(); ++row) {
        const QString ip = Cell(row, u"IPLABEL");
        SCOPED_TRACE(ip.toStdString());
        ASSERT_EQ(servers.count(ip), 1u);
        EXPECT_EQ(Cell(row, u"MACLABEL"), servers.at(ip));
        EXPECT_FALSE(Cell(row, u"NAMELABEL").isEmpty());
    }

    // Stop holds replies back: after Refresh nothing comes until Search.
    m_window->StopSearch();
    m_window->RefreshList();
    QTest::qWait(2000);
    EXPECT_EQ(RowCount(), 0);
    m_window->StartSearch();
    EXPECT_TRUE(QTest::qWaitFor(filled, 4000));
}

// A server that stops answering dims within a few seconds of silence and
// comes back with its next reply; Wake up sends the magic packet the server
// would need; the export holds what vindrel-scan finds.
TEST_F(MainWindowInLab, RowsDimWhenTheirServerFallsSilentAndTheListExportsWhatTheScannerFinds)
{
    const std::map<QString, QString> servers = LabServers();
    ASSERT_GE(servers.size(), 2u);
    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.settingsDir = m_settings.path() + u'/';
    options.chooseExportFile = [this] { return m_exportPath; };
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise());
    m_window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return RowCount() == static_cast<int>(servers.size()); }, 4000));

    // The first server's own device goes down: it hears no probe any more.
    const std::string ns = std::getenv("VINDREL_LAB_SERVER_NS");
    const auto link = [&](const char* state) {
        return std::system(("ip netns exec " + ns.substr(0, ns.find(' ')) + " ip link set mv0 " + state).c_str());
    };
    const int silent = m_window->Servers().Model().FindRow(LabServerIp(0).toStdU16String());
    ASSERT_GE(silent, 0);
    ASSERT_EQ(link("down"), 0);
    const auto silentRow = [&] { return m_window->Servers().Model().RowAt(silent).silent; };
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(QTest::qWaitFor(silentRow, 8000)) << "the silent server's row never dimmed";
    EXPECT_GE(clock.elapsed(), 4000) << "it dimmed before ten probe rounds went unanswered";
    for (int row = 0; row < RowCount(); ++row)
        EXPECT_EQ(m_window->Servers().Model().RowAt(row).silent, row == silent) << "only the silent one dims";
    ASSERT_EQ(link("up"), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !silentRow(); }, 4000)) << "its next reply brings it back";

    // Wake up: six 0xFF, then the MAC sixteen times, broadcast on UDP 9.
    QTreeView* view = m_window->Servers().View();
    view->setCurrentIndex(view->model()->index(0, 0));
    const QString mac = Cell(0, u"MACLABEL");
    m_window->Rows().WakeUp();
    QByteArray expected(6, '\xFF');
    for (int i = 0; i < 16; ++i)
        expected += QByteArray::fromHex(mac.toLatin1().replace('-', ""));
    const QString woken = QString::fromStdString(std::string(std::getenv("VINDREL_LAB_DIR")) + "/wol-1.log");
    const auto logged = [&] {
        QFile log(woken);
        return log.open(QIODevice::ReadOnly) && log.readAll().contains(expected.toHex() + " magic");
    };
    EXPECT_TRUE(QTest::qWaitFor(logged, 3000))
        << "no magic packet for " << mac.toStdString() << ": " << TextOf("STATUSTEXT").toStdString();
    QFile log(woken);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(" 255.255.255.255 ")) << "sent as a broadcast";

    // The export against the scanner's own CSV of the same servers.
    m_window->StopSearch();
    m_exportPath = m_settings.filePath(QStringLiteral("servers.csv"));
    m_window->Rows().ExportList();
    QFile exported(m_exportPath);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    QStringList ours = QString::fromUtf8(exported.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    m_window.reset();  // frees port 6000 for the scanner
    FILE* scan = popen(VINDREL_BIN_DIR "/vindrel-scan --csv --seconds 2", "r");
    ASSERT_NE(scan, nullptr);
    QByteArray scanned;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, scan)) > 0;)
        scanned.append(chunk, static_cast<qsizetype>(n));
    EXPECT_EQ(pclose(scan), 0);
    QStringList theirs = QString::fromUtf8(scanned).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_FALSE(ours.isEmpty());
    EXPECT_EQ(ours.takeFirst(), theirs.takeFirst()) << "the same header";
    ours.sort();
    theirs.sort();
    EXPECT_EQ(ours, theirs) << "the same servers, field for field";
}

// Runs a shell command inside the lab's host namespace; its exit code.
int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

// The window recovers by itself: from a port held at start, from a network
// that comes up after it, and from an address that changes under it.
TEST_F(MainWindowInLab, TheWindowRecoversWithoutARestart)
{
    const std::map<QString, QString> servers = LabServers();
    const auto everyServer = [&] { return RowCount() == static_cast<int>(servers.size()); };
    // Port 6000 held by this very process when the window starts.
    const int holder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(6000);
    ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    QFile lang(m_settings.filePath(QStringLiteral("lang.xml")));
    ASSERT_TRUE(lang.open(QIODevice::WriteOnly));
    lang.write("<config><lang>en</lang></config>\n");
    lang.close();
    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.settingsDir = m_settings.path() + u'/';
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise());
    m_window->show();
    EXPECT_TRUE(QTest::qWaitFor([this] { return TextOf("STATUSTEXT").contains(u"in use by"); }, 3000))
        << TextOf("STATUSTEXT").toStdString();
    EXPECT_TRUE(TextOf("STATUSTEXT").contains(QStringLiteral("(pid %1)").arg(getpid()))) << "it names the holder";
    close(holder);
    EXPECT_TRUE(QTest::qWaitFor(everyServer, 6000)) << "listed once the port is free";
    EXPECT_TRUE(QTest::qWaitFor([this] { return TextOf("STATUSTEXT") == QStringLiteral("Searching\u2026"); }, 2000))
        << TextOf("STATUSTEXT").toStdString();

    // The network goes and comes back.
    const std::string host = std::getenv("VINDREL_LAB_HOST_ADDRS");
    const std::string first = host.substr(0, host.find(' '));
    ASSERT_EQ(Shell("ip addr del " + first + "/16 dev vh1"), 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return TextOf("STATUSTEXT").contains(QStringLiteral("IPv4")); }, 3000))
        << "no network: " << TextOf("STATUSTEXT").toStdString();
    m_window->RefreshList();
    ASSERT_EQ(Shell("ip addr add " + first + "/16 dev vh1"), 0);
    EXPECT_TRUE(QTest::qWaitFor(everyServer, 4000)) << "the network came up after the program";

    // An address that changes (a DHCP renewal): the servers answer the new one.
    ASSERT_EQ(Shell("ip addr del " + first + "/16 dev vh1 && ip addr add 10.21.0.7/16 dev vh1"), 0);
    m_window->RefreshList();
    EXPECT_TRUE(QTest::qWaitFor(everyServer, 4000)) << "after the address changed";
}

// Servers behind a router: broadcasts never reach them; Find by address does.
TEST_F(MainWindowInLab, FindByAddressBringsRoutedServersIntoTheList)
{
    const std::map<QString, QString> servers = LabServers();
    ASSERT_FALSE(servers.empty());
    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.settingsDir = m_settings.path() + u'/';
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise());
    m_window->show();
    QTest::qWait(1500);
    EXPECT_EQ(RowCount(), 0) << "no broadcast crosses the router";
    const std::string subnets = std::getenv("VINDREL_LAB_SERVER_SUBNETS");
    m_window->SetTargets({QString::fromStdString(subnets.substr(0, subnets.find(' ')))});
    EXPECT_TRUE(QTest::qWaitFor([&] { return RowCount() == static_cast<int>(servers.size()); }, 5000))
        << RowCount() << " of " << servers.size();
    QTest::qWait(1000);
    EXPECT_EQ(RowCount(), static_cast<int>(servers.size())) << "each once";
    for (int row = 0; row < RowCount(); ++row) {
        EXPECT_EQ(servers.count(Cell(row, u"IPLABEL")), 1u);
        EXPECT_EQ(Cell(row, u"MACLABEL"), QString()) << "no hardware address off the link";
    }
}

// The diagnostic lines go into a pipe nobody reads (`vindrel | sleep 1000`):
// once it is full the search goes on, and Refresh lists every server again.
TEST_F(MainWindowInLab, AFullPipeOnStandardOutputNeverStopsTheSearch)
{
    const std::map<QString, QString> servers = LabServers();
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    // A pipe of two pages fills in seconds rather than in half a minute (a
    // pipe takes writes while a page of it is free).
    ASSERT_GT(fcntl(fds[1], F_SETPIPE_SZ, 8192), 0);
    EngineLog unread(fds[1]);
    SetResourceFolder(QStringLiteral(VINDREL_BIN_DIR "/"));
    CVindrelFrameWnd::Options options;
    options.settingsDir = m_settings.path() + u'/';
    options.discovery.engineLog = &unread;
    m_window = std::make_unique<CVindrelFrameWnd>(std::move(options));
    ASSERT_TRUE(m_window->Initialise());
    m_window->show();
    const auto everyServer = [&] { return RowCount() == static_cast<int>(servers.size()); };
    ASSERT_TRUE(QTest::qWaitFor(everyServer, 4000));
    int queued = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return ioctl(fds[1], FIONREAD, &queued) == 0 && queued >= 4000; }, 5000))
        << "the pipe never filled: " << queued;
    QTest::qWait(2000);  // full for a while: four probe rounds
    for (int round = 0; round < 3; ++round) {
        m_window->RefreshList();
        EXPECT_TRUE(QTest::qWaitFor(everyServer, 3000)) << "round " << round << ": " << RowCount() << " rows";
    }
    m_window.reset();  // stops and joins the engine's threads: none is stuck in a write
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
