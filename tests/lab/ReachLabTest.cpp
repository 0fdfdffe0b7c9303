// The building blocks that explain an empty list, on the real kernel in the
// lab: who holds the port, what the adapters are, a routed server room, a
// default-deny firewall and what FirewallCheck says of it, Wake-on-LAN.

#include "LabSupport.h"
#include "actions/WakeOnLan.h"
#include "base/LocaleText.h"
#include "diagnosis/AdapterKind.h"
#include "diagnosis/PortOwner.h"
#include "diagnosis/firewall/FirewallCheck.h"
#include "diagnosis/firewall/ToolRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A child that binds UDP `port` and then becomes `sleep`, keeping the socket.
pid_t StartPortHolder(std::uint16_t port)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);  // no CLOEXEC: sleep inherits it
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        const char ok = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        close(ready[1]);
        execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char ok = '0';
    const bool bound = pid > 0 && read(ready[0], &ok, 1) == 1 && ok == '1';
    close(ready[0]);
    if (!bound && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

TEST(PortOwnerLab, FindsTheProcessThatHoldsUdp6000)
{
    EXPECT_TRUE(FindPortOwner(6000).sockets.empty()) << "the lab starts with the port free";
    const pid_t child = StartPortHolder(6000);
    ASSERT_GT(child, 0) << "the child could not bind UDP 6000";

    // The name changes to "sleep" once the child has run exec.
    PortOwnership owner;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    do {
        owner = FindPortOwner(6000);
        if (owner.holders.size() == 1 && owner.holders[0].name == "sleep")
            break;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    ASSERT_EQ(owner.sockets.size(), 1u);
    EXPECT_EQ(owner.sockets[0].localAddress, "0.0.0.0");
    ASSERT_EQ(owner.holders.size(), 1u);
    EXPECT_EQ(owner.holders[0].pid, child);
    EXPECT_EQ(FormatPortInUse(6000, owner), "UDP port 6000 is in use by sleep (pid " + std::to_string(child) + ")");
}

TEST(AdapterKindLab, TheLabsVethIsVirtualAndLoIsLoopback)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_FALSE(lab.interfaces.empty());
    EXPECT_EQ(ClassifyAdapter(lab.interfaces[0], lab.hostAddrs), AdapterKind::kVirtual);
    EXPECT_EQ(ClassifyAdapter("lo", {"127.0.0.1"}), AdapterKind::kLoopback);
}

// A host's view of the protocol without the engine: probes out, replies in
// on UDP 6000, each with its sender.
class Searcher
{
public:
    explicit Searcher(const std::string& localAddress)
    {
        m_listener = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(6000);
        m_bound = m_listener >= 0 && bind(m_listener, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
        m_prober = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        const int on = 1;
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr);
        m_bound = m_bound && m_prober >= 0 && setsockopt(m_prober, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
                  bind(m_prober, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    }
    ~Searcher()
    {
        close(m_listener);
        close(m_prober);
    }
    bool Ready() const { return m_bound; }

    bool Probe(const std::string& to) const
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(6001);
        inet_pton(AF_INET, to.c_str(), &address.sin_addr);
        const std::string payload = ProbePayload(1);
        return sendto(m_prober, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                      sizeof address) == static_cast<ssize_t>(payload.size());
    }

    // The senders of every reply that arrives within `wait`.
    std::vector<std::string> Replies(std::chrono::milliseconds wait) const
    {
        std::vector<std::string> senders;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_listener, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return senders;
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            if (recvfrom(m_listener, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) < 0)
                return senders;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            senders.emplace_back(text);
        }
    }

private:
    int m_listener = -1;
    int m_prober = -1;
    bool m_bound = false;
};

TEST(RoutedRoom, AUnicastProbeGetsOneReplyFromItsServerAndABroadcastNone)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_STREQ(std::getenv("VINDREL_LAB_ROUTED"), "1");
    ASSERT_EQ(lab.servers.size(), 3u);
    const Searcher searcher(lab.hostAddrs.at(0));
    ASSERT_TRUE(searcher.Ready());

    const std::string& second = lab.servers[1].ip;  // 10.31.1.2
    ASSERT_TRUE(searcher.Probe(second));
    EXPECT_EQ(searcher.Replies(1000ms), std::vector<std::string>{second}) << "that server alone, once";

    ASSERT_TRUE(searcher.Probe("255.255.255.255"));
    ASSERT_TRUE(searcher.Probe("10.31.255.255"));  // directed at the far subnet
    EXPECT_TRUE(searcher.Replies(1000ms).empty()) << "no broadcast crosses the router";
    EXPECT_EQ(lab.Probes(1).size(), 1u) << "the servers heard the unicast probe only";
}

TEST(SameLink, ABroadcastIsAnsweredByAllAndAUnicastByOne)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    const Searcher searcher(lab.hostAddrs.at(0));
    ASSERT_TRUE(searcher.Ready());
    ASSERT_TRUE(searcher.Probe("255.255.255.255"));
    std::vector<std::string> all = searcher.Replies(700ms);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<std::string>{lab.servers[0].ip, lab.servers[1].ip, lab.servers[2].ip}))
        << "each macvlan server once";
    ASSERT_TRUE(searcher.Probe(lab.servers[2].ip));
    EXPECT_EQ(searcher.Replies(700ms), std::vector<std::string>{lab.servers[2].ip});
}

bool FirewallDrops()
{
    const char* firewall = std::getenv("VINDREL_LAB_FIREWALL");
    return firewall && std::string(firewall) == "drop";
}

TEST(FirewallLab, RepliesToAProbeArriveUnlessTheFirewallDropsThem)
{
    const Lab lab = Lab::FromEnvironment();
    const Searcher searcher(lab.hostAddrs.at(0));
    ASSERT_TRUE(searcher.Ready());
    ASSERT_TRUE(searcher.Probe("255.255.255.255"));
    const std::vector<std::string> replies = searcher.Replies(1000ms);
    ASSERT_GE(lab.Probes(1).size(), 1u) << "the probe went out either way";
    if (FirewallDrops()) {
        EXPECT_TRUE(replies.empty()) << "established,related acceptance does not let a broadcast's replies in";
        // Nor a unicast probe's: the reply goes to port 6000, not to the probe's port.
        ASSERT_TRUE(searcher.Probe(lab.servers.at(0).ip));
        EXPECT_TRUE(searcher.Replies(700ms).empty());
    } else {
        EXPECT_EQ(replies.size(), lab.servers.size());
    }
}

TEST(FirewallLab, CheckFirewallSaysWhatTheLabsFirewallDoes)
{
    const Lab lab = Lab::FromEnvironment();
    const auto start = std::chrono::steady_clock::now();
    const FirewallFinding f = CheckFirewall(6000, lab.interfaces);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2200ms);
    if (!FirewallDrops()) {
        EXPECT_EQ(f.frontEnd, FirewallFrontEnd::kNone);
        EXPECT_EQ(f.verdict, PortVerdict::kAccepted);
        EXPECT_EQ(f.allowCommand, "");
        return;
    }
    EXPECT_EQ(f.frontEnd, FirewallFrontEnd::kNftables);
    EXPECT_EQ(f.verdict, PortVerdict::kDropped);
    EXPECT_EQ(f.evidence, FirewallEvidence::kLiveRules);
    EXPECT_EQ(f.places, std::vector<std::string>{"inet filter input"});
    ASSERT_EQ(f.allowCommand, "sudo nft insert rule inet filter input udp dport 6000 accept");

    // The command does what it says: in the lab's own namespace, replies arrive.
    const ToolResult applied =
        RunTool({"nft", "insert", "rule", "inet", "filter", "input", "udp", "dport", "6000", "accept"}, 2000ms);
    ASSERT_EQ(applied.exitCode, 0) << applied.errors;
    const Searcher searcher(lab.hostAddrs.at(0));
    ASSERT_TRUE(searcher.Ready());
    ASSERT_TRUE(searcher.Probe("255.255.255.255"));
    EXPECT_EQ(searcher.Replies(1000ms).size(), lab.servers.size());
    EXPECT_EQ(CheckFirewall(6000, lab.interfaces).verdict, PortVerdict::kAccepted);
}

struct WakeLine
{
    std::string source, destination, hex, kind;
};

std::vector<WakeLine> WakeLog(const Lab& lab, int link)
{
    std::vector<WakeLine> lines;
    std::ifstream in(lab.dir + "/wol-" + std::to_string(link) + ".log");
    double time = 0;
    WakeLine line;
    while (in >> time >> line.source >> line.destination >> line.hex >> line.kind)
        lines.push_back(line);
    return lines;
}

TEST(WakeLab, TheMagicPacketIsHeardWithItsExactBytesOnTheBroadcastAddress)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_FALSE(lab.servers.empty());
    const std::string mac = ToUtf8(lab.servers[0].mac);
    const unsigned index = if_nametoindex(lab.interfaces.at(0).c_str());
    ASSERT_NE(index, 0u);
    const WakeResult result = SendWakeOnLan(mac, {index, lab.hostAddrs.at(0)});
    ASSERT_TRUE(result.sent) << result.error;

    std::string error;
    const MagicPacket packet = BuildMagicPacket(*ParseMacText(mac, error));
    std::string hex;
    for (const std::uint8_t b : packet) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    std::vector<WakeLine> lines;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while ((lines = WakeLog(lab, 1)).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(200ms);
    lines = WakeLog(lab, 1);
    ASSERT_EQ(lines.size(), 1u) << "heard once, on the parent, though every macvlan device sees it";
    EXPECT_EQ(lines[0].source, lab.hostAddrs.at(0));
    EXPECT_EQ(lines[0].destination, "255.255.255.255");
    EXPECT_EQ(lines[0].hex, hex);
    EXPECT_EQ(lines[0].kind, "magic");
}

std::string SimPath()
{
    return std::string(VINDREL_BIN_DIR) + "/korvan-sim";
}

TEST(SimUsage, ABadInterfaceIsNamedAndEndsWithExitOne)
{
    const CommandResult r = RunCommand(SimPath() + " --interface nosuch0", true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "korvan-sim: no such interface: nosuch0\n");
}

TEST(SimUsage, OddFieldLinesAndOversizedRepliesAreWarnedAboutAndServed)
{
    const Lab lab = Lab::FromEnvironment();
    const std::string fields = lab.dir + "/odd-fields.tsv", raw = lab.dir + "/big-reply.bin";
    std::ofstream(fields) << "a\t80\t1\ts\tt\tm\tk\tu\nb\t80\t1\ts\tt\tm\tk\n";
    std::ofstream(raw) << std::string(3000, 'x');
    // The simulator runs until stopped: timeout ends it (exit 124) once it has spoken.
    const std::string from = " --count 1 --first-address " + lab.hostAddrs.at(0);
    const CommandResult f = RunCommand("timeout 0.5 " + SimPath() + from + " --fields " + fields, true);
    EXPECT_EQ(f.exitCode, 124) << f.output;
    EXPECT_EQ(f.output, "korvan-sim: warning: " + fields + " line 2 has 7 fields, not 8\n");
    const CommandResult r = RunCommand("timeout 0.5 " + SimPath() + from + " --raw " + raw, true);
    EXPECT_EQ(r.exitCode, 124) << r.output;
    EXPECT_NE(r.output.find("korvan-sim: warning: " + raw + " is 3000 bytes; a reply holds at most 2047"),
              std::string::npos)
        << r.output;
}

}  // namespace
