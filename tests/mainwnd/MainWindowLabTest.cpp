// The real window with the real discovery engine against simulated servers.
// Runs only inside scripts/netlab.sh: the engine broadcasts.
#include "MainWindowFixture.h"

#include "uilib/ResourcePath.h"

#include <QTest>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

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

}  // namespace
