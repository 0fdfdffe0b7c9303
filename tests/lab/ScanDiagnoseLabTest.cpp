// vindrel-scan where a plain search finds nothing: servers behind a router
// (found by --target only), and --diagnose naming what stands in the way: a
// firewall, a program holding the reply port, an adapter that refuses to
// send, a listed address without a route.

#include "LabSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// Every string value of `key` in a JSON text, in order ("IP": "10.31.1.1").
std::vector<std::string> JsonValues(const std::string& json, const std::string& key)
{
    std::vector<std::string> values;
    const std::string lead = "\"" + key + "\": \"";
    for (std::size_t at = 0; (at = json.find(lead, at)) != std::string::npos;) {
        at += lead.size();
        const std::size_t end = json.find('"', at);
        values.push_back(json.substr(at, end - at));
        at = end;
    }
    return values;
}

struct Timed
{
    CommandResult result;
    double seconds = 0;
};

Timed RunTimed(const std::string& commandLine)
{
    const auto begin = std::chrono::steady_clock::now();
    Timed t{RunCommand(commandLine), 0};
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return t;
}

struct RoutedCase
{
    const char* why;
    const char* targets;
    std::vector<std::size_t> servers;  // indexes into the lab's servers
};

const RoutedCase kRoutedCases[] = {
    {"a block", "--target 10.31.1.0/24", {0, 1, 2}},
    {"a range", "--target 10.31.1.1-10.31.1.3", {0, 1, 2}},
    {"a single address finds that server alone", "--target 10.31.1.2", {1}},
    {"single addresses, each named", "--target 10.31.1.3 --target 10.31.1.1 --target 10.31.1.2", {0, 1, 2}},
    {"a wide block is swept in address order", "--target 10.31.0.0/20", {0, 1, 2}},
};

TEST(RoutedScan, TargetsFindEveryRoutedServerOnceWithinASecondAndAHalf)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_STREQ(std::getenv("VINDREL_LAB_SERVER_SUBNETS"), "10.31.0.0/16");
    ASSERT_EQ(lab.servers.size(), 3u);
    for (const RoutedCase& c : kRoutedCases) {
        SCOPED_TRACE(c.why);
        const Timed t = RunTimed(ScanPath() + " --json --seconds 5 --wait-for " + std::to_string(c.servers.size()) +
                                 " " + c.targets);
        std::printf("%-45s %zu server(s) in %.3f s\n", c.targets, c.servers.size(), t.seconds);
        EXPECT_EQ(t.result.exitCode, 0) << t.result.output;
        EXPECT_LT(t.seconds, 1.5);
        std::vector<std::string> ips = JsonValues(t.result.output, "IP");
        std::vector<std::string> wanted;
        for (const std::size_t i : c.servers)
            wanted.push_back(lab.servers.at(i).ip);
        std::sort(ips.begin(), ips.end());
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(ips, wanted) << "each once: " << t.result.output;
        EXPECT_EQ(JsonValues(t.result.output, "Mac"), std::vector<std::string>(wanted.size(), ""))
            << "no hardware address is learnt across a router";
    }

    // Only the addressed server answers a unicast probe: a single target
    // waited on for longer still lists that one alone.
    const CommandResult one = RunCommand(ScanPath() + " --json --seconds 1.2 --target " + lab.servers[1].ip);
    EXPECT_EQ(JsonValues(one.output, "IP"), std::vector<std::string>{lab.servers[1].ip});

    const CommandResult none = RunCommand(ScanPath() + " --json --seconds 1.2");
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.output, "[]\n") << "no broadcast crosses the router";
}

// The first cause's id in a diagnosis's JSON.
std::string FirstCause(const std::string& json)
{
    const std::size_t causes = json.find("\"causes\": [");
    if (causes == std::string::npos)
        return {};
    const std::vector<std::string> ids = JsonValues(json.substr(causes), "id");
    return ids.empty() ? std::string() : ids.front();
}

TEST(DiagnoseFirewall, NamesTheDroppingFirewallAndTheCommandThatLetsTheRepliesIn)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_STREQ(std::getenv("VINDREL_LAB_FIREWALL"), "drop");
    const std::string command = "sudo nft insert rule inet filter input udp dport 6000 accept";

    const CommandResult text = RunCommand(ScanPath() + " --diagnose --seconds 2", true);
    EXPECT_EQ(text.exitCode, 0) << "whatever it found";
    EXPECT_NE(text.output.find("Searched for 2.0 s: no server answered.\n"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("  nftables drops UDP port 6000 (inet filter input).\n"), std::string::npos)
        << text.output;
    EXPECT_NE(text.output.find("  To allow it: " + command + "\n"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("  1. The firewall (nftables) drops the servers' replies"), std::string::npos)
        << text.output;

    const CommandResult json = RunCommand(ScanPath() + " --diagnose --seconds 2 --json");
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(FirstCause(json.output), "firewall-drops") << json.output;
    const std::vector<std::string> allow = JsonValues(json.output, "allowCommand");
    ASSERT_EQ(allow, std::vector<std::string>{command});

    // The printed command does what it says (the lab's own namespace; root
    // needs no sudo).
    ASSERT_TRUE(LabCommand(allow[0].substr(std::string("sudo ").size())));
    const CommandResult found = RunCommand(ScanPath() + " --json --wait-for " + std::to_string(lab.servers.size()));
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(JsonValues(found.output, "IP").size(), lab.servers.size()) << found.output;
    const CommandResult after = RunCommand(ScanPath() + " --diagnose --seconds 2");
    EXPECT_NE(after.output.find("  nftables lets UDP port 6000 in.\n"), std::string::npos) << after.output;
    EXPECT_EQ(after.output.find("To allow it"), std::string::npos) << after.output;
}

// Behind the dropping firewall nothing answers: the scanner says so on
// standard error, in the locale's language, and scripts see what they saw
// before (the empty result, exit 0, or 3 for --wait-for).
TEST(ScanNothingAnswered, OneLineOnStandardErrorPointsToTheDiagnosis)
{
    ASSERT_STREQ(std::getenv("VINDREL_LAB_FIREWALL"), "drop");
    struct Case
    {
        const char* why;
        const char* environment;
        const char* arguments;
        int exitCode;
        const char* standardOutput;
        const char* says;
    };
    const Case cases[] = {
        {"an English locale", "LANG=C.UTF-8", "--seconds 1.2", 0, "Name", "no server answered within 1.2 s; `vindrel-scan --diagnose` tells why\n"},
        {"JSON stays an empty array", "LANG=de_DE.UTF-8", "--json --seconds 1", 0, "[]\n",
         "no server answered within 1 s; `vindrel-scan --diagnose` tells why\n"},
        {"--wait-for keeps exit 3", "LANG=en_GB.UTF-8", "--csv --wait-for 1 --seconds 0.5", 3, "Name,IP",
         "no server answered within 0.5 s;"},
        {"a zh locale speaks Chinese", "LANG=zh_CN.UTF-8", "--seconds 1", 0, "Name",
         "1 \u79D2\u5185\u6CA1\u6709\u670D\u52A1\u5668\u5E94\u7B54\uFF1B`vindrel-scan --diagnose` "
         "\u4F1A\u8BF4\u660E\u539F\u56E0\n"},
        {"LC_ALL outranks LANG", "LANG=zh_CN.UTF-8 LC_ALL=C.UTF-8", "--seconds 0.5", 0, "Name",
         "no server answered within 0.5 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string scan = "env -u LC_ALL -u LC_MESSAGES " + std::string(c.environment) + " " + ScanPath() +
                                 " " + c.arguments;
        const CommandResult out = RunCommand(scan + " 2>/dev/null");
        EXPECT_EQ(out.exitCode, c.exitCode);
        EXPECT_EQ(out.output.rfind(c.standardOutput, 0), 0u) << out.output;
        EXPECT_EQ(std::count(out.output.begin(), out.output.end(), '\n'), 1) << "only the header: " << out.output;
        const CommandResult err = RunCommand(scan + " 2>&1 >/dev/null");
        EXPECT_EQ(std::count(err.output.begin(), err.output.end(), '\n'), 1) << err.output;
        EXPECT_EQ(err.output.rfind("vindrel-scan: ", 0), 0u) << err.output;
        EXPECT_NE(err.output.find(c.says), std::string::npos) << err.output;
    }
}

// python3 holding UDP 6000, as another program on the desk would; stopped
// when the object goes.
class PortHolder final
{
public:
    PortHolder()
    {
        const char* script = "import socket,time; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); "
                             "s.bind(('0.0.0.0',6000)); time.sleep(30)";
        const char* argv[] = {"python3", "-c", script, nullptr};
        if (posix_spawnp(&m_pid, "python3", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
    }
    ~PortHolder()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    pid_t Pid() const { return m_pid; }
    // Waits until the port shows as bound; python needs a moment to start.
    bool WaitUntilBound() const
    {
        for (int i = 0; i < 250 && m_pid > 0; ++i) {
            if (RunCommand("grep -q ':1770 ' /proc/net/udp").exitCode == 0)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

private:
    pid_t m_pid = -1;
};

TEST(DiagnosePortTaken, TheOneLineErrorAndTheDiagnosisNameTheHolder)
{
    const PortHolder holder;
    ASSERT_TRUE(holder.WaitUntilBound()) << "python3 did not bind UDP 6000";
    const std::string named = "python3 (pid " + std::to_string(holder.Pid()) + ")";

    const CommandResult scan = RunCommand(ScanPath() + " --seconds 1", true);
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_EQ(scan.output, "vindrel-scan: UDP port 6000 is in use by " + named + "; close it and try again\n");

    const CommandResult text = RunCommand(ScanPath() + " --diagnose --seconds 1.5", true);
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.output.find("  UDP port 6000: in use by " + named + "\n"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("  1. UDP port 6000 is in use by " + named + ", so no reply can be received."),
              std::string::npos)
        << text.output;

    const CommandResult json = RunCommand(ScanPath() + " --diagnose --seconds 1.5 --json");
    EXPECT_EQ(FirstCause(json.output), "port-in-use") << json.output;
    EXPECT_NE(json.output.find("\"holders\": [{\"pid\": " + std::to_string(holder.Pid()) + ", \"name\": \"python3\"}]"),
              std::string::npos)
        << json.output;
}

TEST(DiagnoseSendErrors, AnAdapterThatRefusesProbesIsNamedBesideTheOneThatWorks)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.interfaces.size(), 2u);
    const std::string& working = lab.interfaces[0];
    const std::string& refusing = lab.interfaces[1];
    // An output rule on one interface: its broadcasts fail with EPERM.
    ASSERT_TRUE(LabCommand("nft add table ip vindrel_test && nft add chain ip vindrel_test out "
                           "'{ type filter hook output priority 0; }' && nft add rule ip vindrel_test out oifname " +
                           refusing + " udp dport 6001 drop"));

    const CommandResult text = RunCommand(ScanPath() + " --diagnose --seconds 2", true);
    EXPECT_EQ(text.exitCode, 0);
    const auto line = [&](const std::string& name) {
        const std::size_t at = text.output.find("\n  " + name + "  ");
        return at == std::string::npos ? std::string()
                                       : text.output.substr(at + 1, text.output.find('\n', at + 1) - at);
    };
    const std::string good = line(working), bad = line(refusing);
    EXPECT_NE(good.find(lab.hostAddrs[0] + "/16"), std::string::npos) << text.output;
    EXPECT_NE(good.find("send errors 0,"), std::string::npos) << good;
    EXPECT_EQ(good.find("probes sent 0,"), std::string::npos) << good;
    EXPECT_EQ(good.find("replies 0\n"), std::string::npos) << "its server answered: " << good;
    EXPECT_NE(bad.find(lab.hostAddrs[1] + "/16"), std::string::npos) << text.output;
    EXPECT_NE(bad.find("probes sent 0, "), std::string::npos) << bad;
    EXPECT_NE(bad.find(" (last: " + std::string(std::strerror(EPERM)) + "), replies 0\n"), std::string::npos) << bad;
    EXPECT_NE(text.output.find("Probes could not be sent through " + refusing + ": " + std::strerror(EPERM) + "."),
              std::string::npos)
        << text.output;

    // And a listed address without a route (the lab has no default route).
    const CommandResult json = RunCommand(ScanPath() + " --diagnose --seconds 2 --json --target 10.99.0.7");
    EXPECT_NE(json.output.find("\"serversAnswered\": true"), std::string::npos) << json.output;
    EXPECT_NE(json.output.find("{\"id\": \"targets-unreachable\", \"text\": \"Probes to the listed addresses could "
                               "not be sent: " +
                               std::string(std::strerror(ENETUNREACH))),
              std::string::npos)
        << json.output;
    EXPECT_EQ(FirstCause(json.output), "send-errors") << json.output;
    EXPECT_NE(json.output.find("{\"id\": \"send-errors\", \"adapter\": \"" + refusing + "\""), std::string::npos)
        << json.output;
}

}  // namespace
