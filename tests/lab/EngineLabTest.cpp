// The engine end to end on real sockets, against korvan-sim in the lab.

#include "LabSupport.h"
#include "base/LocaleText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Status = ListenerState::Status;

std::size_t CountLines(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

std::string AddressInUseLine()
{
    return "error! error code is " + std::to_string(EADDRINUSE) + "\n";
}

void SleepUntil(double unixTime)
{
    const double left = unixTime - UnixNow();
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(left));
}

// Probes on one link: each from `source`, counting 1, 2, 3... with the
// given spacing.
void ExpectProbeSequence(const std::vector<LabProbe>& probes, const std::string& source, double startedAt)
{
    ASSERT_GE(probes.size(), 2u);
    EXPECT_LT(probes.front().time - startedAt, 0.2) << "the first probe goes out at once";
    for (std::size_t i = 0; i < probes.size(); ++i) {
        SCOPED_TRACE("probe " + std::to_string(i + 1));
        EXPECT_EQ(probes[i].payload, ProbePayload(static_cast<std::int32_t>(i + 1)));
        EXPECT_EQ(probes[i].sourceIp, source);
        EXPECT_EQ(probes[i].sourcePort, probes.front().sourcePort) << "one socket per interface";
        if (i > 0) {
            const double gap = probes[i].time - probes[i - 1].time;
            EXPECT_GT(gap, 0.45);
            EXPECT_LT(gap, 0.70);
        }
    }
}

TEST(OneInterface, ProbesGoOutAtOnceThenEveryHalfSecondAndServersArriveWithTheirOwnMac)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    auto lines = std::make_shared<CapturedLines>();
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(lines));
    const double startedAt = UnixNow();
    engine.Start(target.Queue());
    ASSERT_EQ(engine.WaitForListener(2s).status, Status::kListening);

    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 400ms))
        << "the answers to the very first probe are heard, not refused before the listener binds";
    SleepUntil(startedAt + 1.8);

    ExpectProbeSequence(lab.Probes(1), lab.hostAddrs.at(0), startedAt);
    const Arrivals arrivals = target.Arrivals();
    for (const LabServer& server : lab.servers) {
        SCOPED_TRACE(server.ip);
        const ServerRecord* record = FirstFrom(arrivals, server.ip);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->Mac, server.mac) << "the MAC from the neighbour table, not the reply's own line";
        EXPECT_EQ(record->Port, u"80");
        EXPECT_FALSE(record->Name.empty());
    }
    const auto diagnostics = lines->Snapshot();
    EXPECT_GE(CountLines(diagnostics, "Message 1\n"), 1u);
    EXPECT_GE(CountLines(diagnostics, "Receiving datagrams...\n"), lab.servers.size());
}

TEST(TwoInterfaces, EachLinkGetsItsOwnProbeSequenceAndOneListenerServesBoth)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.hostAddrs.size(), 2u);
    auto lines = std::make_shared<CapturedLines>();
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(lines));
    const double startedAt = UnixNow();
    engine.Start(target.Queue());
    ASSERT_EQ(engine.WaitForListener(2s).status, Status::kListening);

    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 3s))
        << "servers on both links reach the one listener";
    SleepUntil(startedAt + 1.3);

    for (int link = 1; link <= 2; ++link) {
        SCOPED_TRACE("link " + std::to_string(link));
        // A probe from the other interface's address here would mean it left
        // through the wrong link.
        ExpectProbeSequence(lab.Probes(link), lab.hostAddrs.at(static_cast<std::size_t>(link - 1)), startedAt);
    }
    // Each sighting says where it came in: the link's interface and our
    // address on it.
    const Arrivals arrivals = target.Arrivals();
    for (const LabServer& server : lab.servers) {
        SCOPED_TRACE(server.ip);
        const auto link = static_cast<std::size_t>(server.link - 1);
        const auto it = std::find_if(arrivals.begin(), arrivals.end(),
                                     [&](const auto& a) { return a.record.IP == FromUtf8(server.ip); });
        ASSERT_NE(it, arrivals.end());
        EXPECT_EQ(it->interfaceIndex, if_nametoindex(lab.interfaces.at(link).c_str()));
        in_addr local{};
        inet_pton(AF_INET, lab.hostAddrs.at(link).c_str(), &local);
        EXPECT_EQ(it->localAddress, local.s_addr);
    }
    EXPECT_EQ(CountLines(lines->Snapshot(), AddressInUseLine()), 0u) << "one listener, so no port taken by ourselves";
}

TEST(Pause, NothingIsReportedAfterStopNotEvenTheReplyInFlight)
{
    const Lab lab = Lab::FromEnvironment();
    RecordingTarget target;
    auto lines = std::make_shared<CapturedLines>();
    auto owned = std::make_unique<DiscoveryEngine>(CapturingOptions(lines));
    DiscoveryEngine& engine = *owned;
    engine.Start(target.Queue());
    ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 3s));

    // Replies come twice a second: 200 ms after a round the listener sits in
    // its receive, waiting for the next one.
    std::this_thread::sleep_for(200ms);
    engine.SetPaused(true);
    EXPECT_TRUE(engine.IsPaused());
    const auto pausedAt = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1600ms);

    // A hand-off that had already begun may finish just after; none may start.
    const auto late = [&](const Arrivals& all, std::chrono::steady_clock::time_point after) {
        return std::count_if(all.begin(), all.end(), [&](const auto& a) { return a.at > after; });
    };
    EXPECT_EQ(late(target.Arrivals(), pausedAt + 20ms), 0);

    engine.SetPaused(false);
    const auto resumedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return late(a, resumedAt) >= 1; }, 1500ms))
        << "after Search, replies are reported again";

    // Once the engine is gone (its threads joined) nothing more is handed over.
    owned.reset();
    const auto goneAt = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(1100ms);
    EXPECT_EQ(late(target.Arrivals(), goneAt + 20ms), 0);
}

bool CanBindReplyPort()
{
    const int fd = BindReplyPort();
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

TEST(Restart, EnginesOneAfterAnotherEachFindTheServersAndStopJoinsAtOnce)
{
    const Lab lab = Lab::FromEnvironment();
    // The first engine stops while its listener waits for a datagram, the
    // second while it waits, paused, for Search.
    for (const bool pauseFirst : {false, true}) {
        SCOPED_TRACE(pauseFirst ? "stopped while paused" : "stopped while receiving");
        auto lines = std::make_shared<CapturedLines>();
        RecordingTarget target;
        DiscoveryEngine engine(CapturingOptions(lines));
        engine.Start(target.Queue());
        ASSERT_EQ(engine.WaitForListener(2s).status, Status::kListening) << "the port was released by the last one";
        ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 3s));
        std::this_thread::sleep_for(200ms);
        if (pauseFirst)
            engine.SetPaused(true);

        const auto stopAt = std::chrono::steady_clock::now();
        engine.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1s);
        const std::size_t heard = target.Arrivals().size();
        const std::size_t said = lines->Snapshot().size();
        EXPECT_TRUE(CanBindReplyPort()) << "port 6000 is free once Stop returns";

        engine.Stop();  // again: nothing happens
        engine.SetPaused(false);
        std::this_thread::sleep_for(700ms);
        EXPECT_EQ(target.Arrivals().size(), heard) << "nothing reaches the queue after Stop";
        EXPECT_EQ(lines->Snapshot().size(), said) << "no thread is left to probe or print";
    }
}

TEST(PortTaken, TheListenerReportsAddressInUseOnceAndProbesStillGoOut)
{
    const Lab lab = Lab::FromEnvironment();
    const int holder = BindReplyPort();
    ASSERT_GE(holder, 0) << std::strerror(errno);

    auto lines = std::make_shared<CapturedLines>();
    RecordingTarget target;
    DiscoveryEngine engine(CapturingOptions(lines));
    const double startedAt = UnixNow();
    engine.Start(target.Queue());
    const ListenerState state = engine.WaitForListener(2s);
    EXPECT_EQ(state.status, Status::kBindFailed);
    EXPECT_EQ(state.error, EADDRINUSE);
    SleepUntil(startedAt + 1.2);

    EXPECT_EQ(CountLines(lines->Snapshot(), AddressInUseLine()), 1u);
    EXPECT_TRUE(target.Arrivals().empty());
    for (int link = 1; link <= 2; ++link)
        EXPECT_GE(lab.Probes(link).size(), 2u) << "link " << link;

    const CommandResult scan = RunCommand(ScanPath() + " --seconds 1", true);
    EXPECT_EQ(scan.exitCode, 1);
    EXPECT_NE(scan.output.find("UDP port 6000 is in use"), std::string::npos) << scan.output;
    EXPECT_EQ(std::count(scan.output.begin(), scan.output.end(), '\n'), 1) << "one clear line";
    close(holder);
}

struct HostileCase
{
    const char* why;
    std::string payload;
    bool yieldsRecord;
    std::u16string name;  // when it yields one
    std::u16string port;
};

const HostileCase kHostileCases[] = {
    {"an empty datagram is no reply", "", false, u"", u""},
    {"2048 bytes do not fit the reply buffer", std::string(2048, 'a'), false, u"", u""},
    {"a 60 kB datagram is no reply", std::string(60000, 'b'), false, u"", u""},
    {"2047 bytes is the largest reply", "big\n8080\n" + std::string(2038, 'c'), true, u"big", u"8080"},
    {"a NUL inside ends the text", std::string("n1\n80\n\0hidden\nmore\n", 20), true, u"n1", u"80"},
    {"a stray text is a record with empty lines", "GET / HTTP/1.0", true, u"", u""},
};

TEST(Hostile, DatagramsThatAreNoReplyNeverYieldAStaleRecord)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 1u);
    RecordingTarget target;
    auto lines = std::make_shared<CapturedLines>();
    DiscoveryEngine engine(CapturingOptions(lines));
    engine.Start(target.Queue());
    // First a real server with a known MAC, so that a stale record would show.
    ASSERT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 3s));
    ASSERT_EQ(FirstFrom(target.Arrivals(), lab.servers[0].ip)->Mac, lab.servers[0].mac);

    // Sent from our own address: it has no neighbour entry, so Mac must be empty.
    const std::string& self = lab.hostAddrs.at(0);
    const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_GE(fd, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(6000);
    inet_pton(AF_INET, self.c_str(), &to.sin_addr);
    const std::u16string selfText = FromUtf8(self);
    // The marker that closes each case comes from another address (loopback),
    // or the queue would fold it into the case's own record (by IP).
    sockaddr_in loopback = to;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    std::size_t seen = 0;
    for (std::size_t i = 0; i < std::size(kHostileCases); ++i) {
        const HostileCase& c = kHostileCases[i];
        SCOPED_TRACE(c.why);
        const std::string marker = "marker-" + std::to_string(i) + "\n";
        ASSERT_EQ(sendto(fd, c.payload.data(), c.payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(c.payload.size()));
        ASSERT_GE(
            sendto(fd, marker.data(), marker.size(), 0, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback),
            0);
        const std::u16string markerName = FromUtf8(marker.substr(0, marker.size() - 1));
        ASSERT_TRUE(target.WaitUntil(
            [&](const Arrivals& all) {
                return std::any_of(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end(),
                                   [&](const auto& a) { return a.record.Name == markerName; });
            },
            2s));

        std::vector<ServerRecord> fromUs;
        const Arrivals all = target.Arrivals();
        for (std::size_t n = seen; n < all.size(); ++n) {
            if (all[n].record.Name == markerName) {
                seen = n + 1;
                EXPECT_EQ(all[n].record.Mac, u"");
                break;
            }
            if (all[n].record.IP == selfText)
                fromUs.push_back(all[n].record);
        }
        ASSERT_EQ(fromUs.size(), c.yieldsRecord ? 1u : 0u);
        if (c.yieldsRecord) {
            EXPECT_EQ(fromUs[0].Name, c.name);
            EXPECT_EQ(fromUs[0].Port, c.port);
            EXPECT_EQ(fromUs[0].Version, u"");
            EXPECT_EQ(fromUs[0].Mac, u"") << "never the previous server's address";
        }
    }
    close(fd);
}

TEST(NoNeighbourEntry, TheListenerHasTheKernelResolveTheSender)
{
    const Lab lab = Lab::FromEnvironment();
    {
        std::ifstream arp("/proc/net/arp");
        const std::string table((std::istreambuf_iterator<char>(arp)), std::istreambuf_iterator<char>());
        for (const LabServer& s : lab.servers)
            ASSERT_EQ(table.find(s.ip + " "), std::string::npos) << "the lab was to leave no entry for " << s.ip;
    }
    RecordingTarget target;
    auto lines = std::make_shared<CapturedLines>();
    DiscoveryEngine engine(CapturingOptions(lines));
    engine.Start(target.Queue());
    const auto everyMacKnown = [&](const Arrivals& all) {
        return std::all_of(lab.servers.begin(), lab.servers.end(), [&](const LabServer& s) {
            return std::any_of(all.begin(), all.end(),
                               [&](const auto& a) { return a.record.Mac == s.mac && a.record.IP == FromUtf8(s.ip); });
        });
    };
    EXPECT_TRUE(target.WaitUntil(everyMacKnown, 3s));
    for (const auto& a : target.Arrivals())
        EXPECT_TRUE(
            a.record.Mac.empty() ||
            std::any_of(lab.servers.begin(), lab.servers.end(),
                        [&](const LabServer& s) { return a.record.IP == FromUtf8(s.ip) && a.record.Mac == s.mac; }))
            << "a MAC is the sender's own or none";
}

}  // namespace
