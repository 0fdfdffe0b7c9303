#include "diagnosis/GatherDiagnosis.h"

#include "TempTree.h"
#include "discovery/EngineStatus.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(VINDREL_SOURCE_DIR) + "/tests/diagnosis/firewall/data/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

AdapterStatus Adapter(std::string name, std::string address)
{
    AdapterStatus a;
    a.name = std::move(name);
    a.address = std::move(address);
    a.prefixLength = 24;
    a.probesSent = 4;
    return a;
}

// A machine under fake roots: a wired port and a Wi-Fi card in /sys, python3
// holding UDP 6000 in /proc, and ufw allowing 6000/udp on eth0 only.
class FakeMachine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_sys.Write("eth0/type", "1\n");
        m_sys.Link("eth0/device", "../../../0000:00:1f.6");
        m_sys.Write("wlan0/type", "1\n");
        m_sys.Link("wlan0/device", "../../../0000:02:00.0");
        m_sys.Link("wlan0/phy80211", "../../ieee80211/phy0");

        m_proc.Write(
            "net/udp",
            "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
            "  123: 00000000:1770 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 "
            "12345 2 0000000000000000 0\n");
        m_proc.Write("net/udp6", "");
        m_proc.Write("4242/comm", "python3\n");
        m_proc.Link("4242/fd/3", "socket:[12345]");

        m_sources.sysfsRoot = m_sys.Root();
        m_sources.procRoot = m_proc.Root();
        FirewallProbe probe;
        probe.isRoot = true;
        probe.run = [this](const std::vector<std::string>& argv, std::chrono::milliseconds) {
            ++m_firewallQueries;
            ToolResult r;
            if (argv == std::vector<std::string>{"ufw", "status", "verbose"}) {
                r.started = true;
                r.exitCode = 0;
                r.output = Fixture("ufw-status-interface.txt");
            }
            return r;
        };
        probe.readFile = [](const std::string& path) -> std::optional<std::string> {
            if (path == "/etc/ufw/ufw.conf")
                return "ENABLED=yes\n";
            return std::nullopt;
        };
        m_sources.firewall = probe;
    }

    TempTree m_sys;
    TempTree m_proc;
    DiagnosisSources m_sources;
    int m_firewallQueries = 0;
};

TEST_F(FakeMachine, ClassifiesTheAdaptersAndJudgesTheFirewallForTheirInterfaces)
{
    EngineStatus status;
    status.listener.state = ListenerStatus::State::kListening;
    status.adapters = {Adapter("eth0", "192.168.1.5"), Adapter("eth0", "10.0.0.5")};

    const DiagnosisInput wired = GatherDiagnosis(status, 2500ms, 6000, m_sources);
    EXPECT_EQ(wired.adapterKinds, (std::map<std::string, AdapterKind>{{"eth0", AdapterKind::kEthernet}}));
    EXPECT_EQ(wired.searchDuration, 2500ms);
    EXPECT_EQ(wired.port, 6000);
    EXPECT_EQ(wired.engine.adapters.size(), 2u) << "the status is kept whole";
    EXPECT_FALSE(wired.portOwner) << "the port is not looked up while the listener has it";
    ASSERT_TRUE(wired.firewall);
    EXPECT_GT(m_firewallQueries, 0);
    EXPECT_EQ(wired.firewall->frontEnd, FirewallFrontEnd::kUfw);
    EXPECT_EQ(wired.firewall->verdict, PortVerdict::kAccepted) << "ufw allows it on eth0";

    status.adapters.push_back(Adapter("wlan0", "192.168.2.7"));
    const DiagnosisInput both = GatherDiagnosis(status, 2500ms, 6000, m_sources);
    EXPECT_EQ(both.adapterKinds.at("wlan0"), AdapterKind::kWireless);
    ASSERT_TRUE(both.firewall);
    EXPECT_NE(both.firewall->verdict, PortVerdict::kAccepted) << "but not on wlan0, where replies arrive too";
    EXPECT_EQ(both.firewall->allowCommand, "sudo ufw allow 6000/udp");
}

TEST_F(FakeMachine, NamesTheHolderWhenTheListenerFoundThePortTaken)
{
    EngineStatus status;
    status.listener = {ListenerStatus::State::kPortInUse, EADDRINUSE};
    status.adapters = {Adapter("eth0", "192.168.1.5")};
    const DiagnosisInput in = GatherDiagnosis(status, 2000ms, 6000, m_sources);
    ASSERT_TRUE(in.portOwner);
    EXPECT_EQ(in.portOwner->holders, (std::vector<PortHolder>{{4242, "python3"}}));

    const Diagnosis d = Diagnose(in);
    ASSERT_FALSE(d.causes.empty());
    EXPECT_EQ(d.causes.front().cause, Cause::kPortInUse);
    EXPECT_NE(d.causes.front().text.find("python3 (pid 4242)"), std::string::npos) << d.causes.front().text;

    status.listener = {ListenerStatus::State::kFailed, EACCES};
    EXPECT_FALSE(GatherDiagnosis(status, 2000ms, 6000, m_sources).portOwner) << "another error has no holder";
}

TEST_F(FakeMachine, WithoutAdaptersTheFirewallIsJudgedForEveryInterface)
{
    EngineStatus status;
    status.listener.state = ListenerStatus::State::kListening;
    status.noAddresses = true;
    const DiagnosisInput in = GatherDiagnosis(status, 3000ms, 6000, m_sources);
    EXPECT_TRUE(in.adapterKinds.empty());
    ASSERT_TRUE(in.firewall);
    EXPECT_NE(in.firewall->verdict, PortVerdict::kAccepted) << "an interface rule opens one interface, not all";
}

}  // namespace
