// Probing by address: targets probed by unicast beside (or instead of) the
// broadcasts, against korvan-sim in the lab. korvan-sim logs every probe it
// hears, unicast ones to the addresses it holds included; whether it then
// answers with every server or only the one addressed, each server must be
// found.

#include "LabSupport.h"
#include "base/LocaleText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Broadcasts go nowhere: only the unicast targets can find anything.
DiscoveryOptions UnicastOnly(const std::vector<std::string>& targets)
{
    DiscoveryOptions options = CapturingOptions(std::make_shared<CapturedLines>());
    options.interfaces = {"no-such-interface"};
    for (const std::string& written : targets)
        options.targets.push_back(*ParseProbeTarget(written).target);
    return options;
}

std::size_t DistinctServers(const Arrivals& arrivals)
{
    std::set<std::u16string> ips;
    for (const auto& a : arrivals)
        ips.insert(a.record.IP);
    return ips.size();
}

TEST(Unicast, ServersAreFoundByTheirAddressesAloneWithOneSharedCounter)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    RecordingTarget target;
    DiscoveryEngine engine(UnicastOnly({lab.servers[0].ip + "-" + lab.servers[2].ip}));
    const double startedAt = UnixNow();
    engine.Start(target.Queue());
    ASSERT_EQ(engine.WaitForListener(2s).status, ListenerState::Status::kListening);
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 2s));
    std::this_thread::sleep_for(1600ms);

    EXPECT_EQ(DistinctServers(target.Arrivals()), 3u);
    const std::vector<LabProbe> probes = lab.Probes(1);
    ASSERT_GE(probes.size(), 9u);
    EXPECT_LT(probes.front().time - startedAt, 0.3) << "the first round goes out at once";
    for (std::size_t i = 0; i < probes.size(); ++i) {
        SCOPED_TRACE("probe " + std::to_string(i + 1));
        EXPECT_EQ(probes[i].payload, ProbePayload(static_cast<std::int32_t>(i + 1))) << "one counter for all targets";
        EXPECT_EQ(probes[i].sourceIp, lab.hostAddrs[0]) << "from the address that routes there";
        EXPECT_EQ(probes[i].sourcePort, probes[0].sourcePort) << "one socket";
    }
    // Three addresses each round, twice a second.
    const double span = probes.back().time - probes.front().time;
    EXPECT_NEAR(static_cast<double>(probes.size()), 3 * (span / 0.5 + 1), 3.0);
    const EngineStatus status = engine.Status();
    EXPECT_EQ(status.unicastProbesSent, probes.size());
    EXPECT_EQ(status.unicastSendErrors, 0u);
    EXPECT_TRUE(status.adapters.empty());
}

TEST(Unicast, TargetsSetAtRunTimeApplyFromTheNextRoundAndWaitWhilePaused)
{
    const Lab lab = Lab::FromEnvironment();
    RecordingTarget target;
    DiscoveryEngine engine(UnicastOnly({}));
    engine.Start(target.Queue());
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(target.Arrivals().empty()) << "nothing to probe yet";

    const std::string wanted = lab.servers[1].ip;
    engine.SetTargets({*ParseProbeTarget(wanted).target});
    EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasIp(a, wanted); }, 800ms));
    ASSERT_EQ(engine.Targets().size(), 1u);

    engine.SetPaused(true);
    const std::uint64_t pausedAt = engine.Status().unicastProbesSent;
    std::this_thread::sleep_for(1100ms);
    EXPECT_EQ(engine.Status().unicastProbesSent, pausedAt) << "no unicast probe while paused";
    engine.SetPaused(false);
    std::this_thread::sleep_for(1100ms);
    EXPECT_GE(engine.Status().unicastProbesSent, pausedAt + 2);

    engine.SetTargets({});
    std::this_thread::sleep_for(100ms);
    const std::uint64_t clearedAt = engine.Status().unicastProbesSent;
    std::this_thread::sleep_for(1100ms);
    EXPECT_EQ(engine.Status().unicastProbesSent, clearedAt);
}

TEST(UnicastSweep, AWideBlockIsSweptAtTheCappedPaceAndItsServersAreThenProbedEveryRound)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    // The whole /20 through the server side's veth as a router: one
    // neighbour entry instead of thousands of unanswered ARP requests. Only
    // the addresses korvan-sim holds are heard (and logged) there.
    ASSERT_TRUE(LabCommand("ip route add 10.21.0.0/20 via 10.21.0.2 dev " + lab.interfaces.at(0)));
    RecordingTarget target;
    DiscoveryEngine engine(UnicastOnly({"10.21.0.0/20"}));
    const auto begin = std::chrono::steady_clock::now();
    engine.Start(target.Queue());

    struct Sample
    {
        std::chrono::steady_clock::time_point at;
        std::uint64_t sent;
        std::uint64_t left;
    };
    std::vector<Sample> samples;
    while (std::chrono::steady_clock::now() - begin < 3500ms) {
        const EngineStatus s = engine.Status();
        samples.push_back({std::chrono::steady_clock::now(), s.unicastProbesSent, s.sweepRemaining});
        std::this_thread::sleep_for(20ms);
    }
    std::uint64_t most = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        for (std::size_t j = i + 1; j < samples.size() && samples[j].at - samples[i].at <= 1s; ++j)
            most = std::max(most, samples[j].sent - samples[i].sent);
    std::printf("most unicast probes sent within a second: %llu\n", static_cast<unsigned long long>(most));
    EXPECT_LE(most, 2000u);
    EXPECT_GE(most, 1800u) << "the sweep goes at the pace, not slower";
    const auto swept = std::find_if(samples.begin(), samples.end(), [](const Sample& s) { return s.left == 0; });
    ASSERT_NE(swept, samples.end()) << "4094 addresses swept in about 2.1 s";
    EXPECT_LT(swept->at - begin, 2600ms);
    EXPECT_TRUE(HasEveryServer(target.Arrivals(), lab));
    EXPECT_EQ(DistinctServers(target.Arrivals()), 3u);

    // After the sweep only the servers it found are probed, each every round.
    const double sweptUnix =
        UnixNow() - std::chrono::duration<double>(std::chrono::steady_clock::now() - swept->at).count();
    std::size_t after = 0;
    for (const LabProbe& p : lab.Probes(1))
        if (p.time > sweptUnix + 0.05 && p.time < sweptUnix + 1.05)
            ++after;
    EXPECT_EQ(after, 6u) << "three servers, two rounds";
    const EngineStatus last = engine.Status();
    EXPECT_EQ(last.unicastSendErrors, 0u) << last.lastUnicastSendError;
}

TEST(UnicastOnLink, BlocksOnTheBroadcastLinkAreLeftToTheBroadcastsAndAnAddressNamedAloneIsProbed)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    const std::string link = lab.interfaces.at(0);
    // Both blocks lie on the host's 10.21.0.0/16. Probing each address would
    // mean 4094 ARP requests and neighbour entries in two seconds for the
    // /20, and for the /24 a send buffer full of probes waiting for ARP
    // answers that never come.
    DiscoveryOptions options = CapturingOptions(std::make_shared<CapturedLines>());
    options.targets = {*ParseProbeTarget("10.21.0.0/20").target, *ParseProbeTarget("10.21.2.0/24").target};
    RecordingTarget target;
    {
        DiscoveryEngine engine(options);
        engine.Start(target.Queue());
        EXPECT_TRUE(target.WaitUntil([&](const Arrivals& a) { return HasEveryServer(a, lab); }, 2s))
            << "the broadcasts find them";
        std::this_thread::sleep_for(2500ms);  // longer than sweeping the /20 would take
        const EngineStatus status = engine.Status();
        EXPECT_EQ(status.sweepRemaining, 0u);
        EXPECT_EQ(status.unicastSendErrors, 0u) << std::strerror(status.lastUnicastSendError);
        EXPECT_EQ(status.unicastProbesSent, 0u);
        EXPECT_EQ(DistinctServers(target.Arrivals()), 3u);
    }
    const CommandResult neighbours = RunCommand("ip -4 neigh show dev " + link);
    EXPECT_LT(std::count(neighbours.output.begin(), neighbours.output.end(), '\n'), 10) << neighbours.output;

    options.targets = {*ParseProbeTarget(lab.servers[1].ip).target};
    DiscoveryEngine named(options);
    named.Start(target.Queue());
    std::this_thread::sleep_for(1200ms);
    const EngineStatus status = named.Status();
    EXPECT_GE(status.unicastProbesSent, 2u);
    EXPECT_EQ(status.unicastSendErrors, 0u) << std::strerror(status.lastUnicastSendError);
}

}  // namespace
