#include "diagnosis/firewall/FirewallCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(VINDREL_SOURCE_DIR) + "/tests/diagnosis/firewall/data/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ToolResult Exited(int code, std::string output, std::string errors = {})
{
    ToolResult r;
    r.started = true;
    r.exitCode = code;
    r.output = std::move(output);
    r.errors = std::move(errors);
    return r;
}

// A machine as the check sees it: command lines and their results, files and
// their contents. A command not listed is not installed.
struct FakeMachine
{
    std::map<std::string, ToolResult> commands;
    std::map<std::string, std::string> files;
    bool isRoot = false;
    mutable std::vector<std::string> asked;

    FirewallProbe Probe() const
    {
        FirewallProbe probe;
        probe.run = [this](const std::vector<std::string>& argv, std::chrono::milliseconds) {
            std::string line;
            for (const std::string& a : argv)
                line += (line.empty() ? "" : " ") + a;
            asked.push_back(line);
            const auto it = commands.find(line);
            return it == commands.end() ? ToolResult{} : it->second;
        };
        probe.readFile = [this](const std::string& path) -> std::optional<std::string> {
            const auto it = files.find(path);
            if (it == files.end())
                return std::nullopt;
            return it->second;
        };
        probe.isRoot = isRoot;
        return probe;
    }
};

const ToolResult kNotPermitted =
    Exited(1, "", "Error: Could not process rule: Operation not permitted\nlist ruleset\n^^^^^^^^^^^^\n");

struct CheckCase
{
    const char* why;
    FakeMachine machine;
    std::vector<std::string> interfaces;
    FirewallFrontEnd frontEnd;
    PortVerdict verdict;
    FirewallEvidence evidence;
    std::string command;
};

std::vector<CheckCase> Cases()
{
    std::vector<CheckCase> cases;
    {
        FakeMachine m;
        m.files["/run/firewalld.pid"] = "812\n";
        m.files["/proc/812/comm"] = "firewalld\n";
        m.commands["firewall-cmd --list-all-zones"] = Exited(0, Fixture("firewalld-zones.txt"));
        cases.push_back({"firewalld's default zone without the port",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kFirewalld,
                         PortVerdict::kDropped,
                         FirewallEvidence::kLiveRules,
                         "sudo firewall-cmd --permanent --add-port=6000/udp && sudo firewall-cmd --reload"});
        cases.push_back({"firewalld on an interface of another zone names the zone",
                         m,
                         {"eth2"},
                         FirewallFrontEnd::kFirewalld,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kLiveRules,
                         "sudo firewall-cmd --permanent --zone=internal --add-port=6000/udp && sudo firewall-cmd "
                         "--reload"});
        m.files["/etc/firewalld/services/vindrel.xml"] = Fixture("firewalld-service-vindrel.xml");
        cases.push_back({"firewalld's home zone opens it through a service file",
                         m,
                         {"wlan0"},
                         FirewallFrontEnd::kFirewalld,
                         PortVerdict::kAccepted,
                         FirewallEvidence::kLiveRules,
                         ""});
    }
    {
        FakeMachine m;
        m.commands["firewall-cmd --state"] = Exited(0, "running\n");
        m.commands["firewall-cmd --list-all-zones"] =
            Exited(126, "", "Authorization failed.\n    Make sure polkit agent is running\n");
        cases.push_back({"firewalld whose zones a user may not read still denies by default",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kFirewalld,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kNotPermitted,
                         "sudo firewall-cmd --permanent --add-port=6000/udp && sudo firewall-cmd --reload"});
    }
    {
        FakeMachine m;
        m.isRoot = true;
        m.files["/etc/ufw/ufw.conf"] = "ENABLED=yes\nLOGLEVEL=low\n";
        m.commands["ufw status verbose"] = Exited(0, Fixture("ufw-status-closed.txt"));
        cases.push_back({"ufw as root reads its status",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kUfw,
                         PortVerdict::kDropped,
                         FirewallEvidence::kLiveRules,
                         "sudo ufw allow 6000/udp"});
        m.isRoot = false;
        m.files["/etc/default/ufw"] = "DEFAULT_INPUT_POLICY=\"DROP\"\n";
        cases.push_back({"ufw for a user: enabled, rules unreadable",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kUfw,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kNotPermitted,
                         "sudo ufw allow 6000/udp"});
        m.files["/etc/ufw/user.rules"] = "*filter\n:ufw-user-input - [0:0]\n-A ufw-user-input -p tcp --dport 22 "
                                         "-j ACCEPT\nCOMMIT\n";
        cases.push_back({"ufw's user rules, where readable, tell",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kUfw,
                         PortVerdict::kDropped,
                         FirewallEvidence::kConfiguration,
                         "sudo ufw allow 6000/udp"});
    }
    {
        FakeMachine m;
        m.isRoot = true;
        m.commands["nft list ruleset"] = Exited(0, Fixture("nft-default-deny.txt"));
        cases.push_back({"nftables as root",
                         m,
                         {"vh1"},
                         FirewallFrontEnd::kNftables,
                         PortVerdict::kDropped,
                         FirewallEvidence::kLiveRules,
                         "sudo nft insert rule inet filter input udp dport 6000 accept"});
        m.commands["nft list ruleset"] = Exited(0, Fixture("nft-iptables-source-limited.txt"));
        cases.push_back({"iptables-nft tables are iptables'",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kIptables,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kLiveRules,
                         "sudo iptables -I INPUT -p udp --dport 6000 -j ACCEPT"});
        m.commands["nft list ruleset"] = Exited(0, "");
        m.commands["iptables-save"] = Exited(0, Fixture("iptables-ufw-closed.txt"));
        cases.push_back({"legacy iptables with ufw's chains",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kUfw,
                         PortVerdict::kDropped,
                         FirewallEvidence::kLiveRules,
                         "sudo ufw allow 6000/udp"});
        m.commands["iptables-save"] = Exited(0, "");
        cases.push_back({"empty rule sets: no firewall",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kNone,
                         PortVerdict::kAccepted,
                         FirewallEvidence::kLiveRules,
                         ""});
    }
    {
        FakeMachine m;
        m.commands["nft list ruleset"] = kNotPermitted;
        m.commands["iptables-save"] = Exited(4, "", "iptables-save v1.8.9 (nf_tables): Permission denied\n");
        m.files["/proc/modules"] = "nf_tables 331776 0 - Live 0x0000000000000000\nveth 40960 0 - Live 0x0\n";
        cases.push_back({"a user, rules not readable",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kUnknown,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kNotPermitted,
                         ""});
        m.commands["systemctl is-active nftables"] = Exited(0, "active\n");
        m.files["/etc/nftables.conf"] = Fixture("nftables-conf-workstation.nft");
        cases.push_back({"a user, the nftables service's configuration read",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kNftables,
                         PortVerdict::kDropped,
                         FirewallEvidence::kConfiguration,
                         "sudo nft insert rule inet filter input udp dport 6000 accept"});
        m.files["/etc/nftables.conf"] = "include \"/etc/nftables.d/*.nft\"\n";
        cases.push_back({"a configuration that includes other files is not guessed",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kNftables,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kNotPermitted,
                         "sudo nft insert rule inet filter input udp dport 6000 accept"});
    }
    {
        FakeMachine m;
        cases.push_back({"no tool, no module, no rule",
                         m,
                         {"eth0"},
                         FirewallFrontEnd::kNone,
                         PortVerdict::kUnknown,
                         FirewallEvidence::kNothingFound,
                         ""});
    }
    return cases;
}

TEST(CheckFirewall, FindsTheFrontEndItsVerdictAndTheCommand)
{
    for (const CheckCase& c : Cases()) {
        SCOPED_TRACE(c.why);
        const FirewallFinding f = CheckFirewall(6000, c.interfaces, 2000ms, c.machine.Probe());
        EXPECT_EQ(FirewallFrontEndName(f.frontEnd), FirewallFrontEndName(c.frontEnd));
        EXPECT_EQ(static_cast<int>(f.verdict), static_cast<int>(c.verdict));
        EXPECT_EQ(FirewallEvidenceName(f.evidence), FirewallEvidenceName(c.evidence));
        EXPECT_EQ(f.allowCommand, c.command);
    }
}

TEST(CheckFirewall, NeverRunsAnythingThatChangesRules)
{
    for (const CheckCase& c : Cases()) {
        (void)CheckFirewall(6000, c.interfaces, 2000ms, c.machine.Probe());
        for (const std::string& line : c.machine.asked) {
            EXPECT_EQ(line.find("--add"), std::string::npos) << line;
            EXPECT_EQ(line.find("allow"), std::string::npos) << line;
            EXPECT_EQ(line.find("insert"), std::string::npos) << line;
            EXPECT_EQ(line.find("restore"), std::string::npos) << line;
        }
    }
}

TEST(CheckFirewall, ToolsThatHangCostNoMoreThanTheBudget)
{
    FirewallProbe probe;
    probe.run = [](const std::vector<std::string>&, std::chrono::milliseconds timeout) {
        std::this_thread::sleep_for(timeout);
        ToolResult r;
        r.started = true;
        r.timedOut = true;
        return r;
    };
    probe.readFile = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
    const auto start = std::chrono::steady_clock::now();
    const FirewallFinding f = CheckFirewall(6000, {"eth0"}, 2000ms, probe);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2200ms);
    EXPECT_EQ(f.verdict, PortVerdict::kUnknown);
    EXPECT_EQ(f.evidence, FirewallEvidence::kNoAnswer);
}

TEST(AllowCommand, OneForEachPlaceThatDrops)
{
    EXPECT_EQ(AllowCommand(FirewallFrontEnd::kNftables, 6000, {"inet filter input", "ip nat_guard INPUT"}),
              "sudo nft insert rule inet filter input udp dport 6000 accept && "
              "sudo nft insert rule ip nat_guard INPUT udp dport 6000 accept");
    EXPECT_EQ(AllowCommand(FirewallFrontEnd::kFirewalld, 6000, {"zone home", "default zone public"}),
              "sudo firewall-cmd --permanent --zone=home --add-port=6000/udp && "
              "sudo firewall-cmd --permanent --add-port=6000/udp && sudo firewall-cmd --reload");
    EXPECT_EQ(AllowCommand(FirewallFrontEnd::kUnknown, 6000, {}), "");
}

// The runner itself, on harmless local programs.
TEST(RunTool, TakesOutputErrorsAndExitCodeInTheCLocale)
{
    const ToolResult r = RunTool({"sh", "-c", "echo out; echo err >&2; echo \"$LC_ALL\"; exit 3"}, 2000ms);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.output, "out\nC\n");
    EXPECT_EQ(r.errors, "err\n");
}

TEST(RunTool, AMissingProgramIsNotStarted)
{
    EXPECT_FALSE(RunTool({"vindrel-no-such-program"}, 500ms).started);
    EXPECT_FALSE(RunTool({}, 500ms).started);
}

TEST(RunTool, StopsAtTheLimitEvenWhenAChildKeepsTheOutputOpen)
{
    const auto start = std::chrono::steady_clock::now();
    const ToolResult r = RunTool({"sh", "-c", "sleep 5 & echo started; wait"}, 300ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.output, "started\n");
}

}  // namespace
