#include "discovery/UnicastPlan.h"
#include "net/SocketApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

using Clock = UnicastPlan::Clock;
using namespace std::chrono_literals;

ProbeTarget Target(const char* written)
{
    return *ParseProbeTarget(written).target;
}

std::uint32_t Host(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return ntohl(a.s_addr);
}

// Drives a plan with a clock of its own, a millisecond at a time, as the
// probe thread would (it may wake later than NextDue, never earlier).
struct PlanRun
{
    struct Probe
    {
        Clock::duration at;
        std::uint32_t address;
    };

    explicit PlanRun(UnicastPlan& p)
        : plan(p)
    {
    }

    UnicastPlan& plan;
    Clock::time_point start = Clock::now();
    Clock::duration now{};
    std::vector<Probe> probes;

    void For(Clock::duration span)
    {
        const Clock::duration end = now + span;
        for (; now < end; now += 1ms) {
            if (plan.NextDue(start + now) > start + now)
                continue;
            for (const std::uint32_t a : plan.Take(start + now))
                probes.push_back({now, a});
        }
    }
    std::size_t Count(std::uint32_t address, Clock::duration from = {},
                      Clock::duration to = Clock::duration::max()) const
    {
        return static_cast<std::size_t>(std::count_if(probes.begin(), probes.end(), [&](const Probe& p) {
            return p.address == address && p.at >= from && p.at < to;
        }));
    }
    std::size_t MostInAnySecond() const
    {
        std::size_t most = 0;
        for (std::size_t i = 0, j = 0; i < probes.size(); ++i) {
            while (probes[j].at <= probes[i].at - 1s)
                ++j;
            most = std::max(most, i - j + 1);
        }
        return most;
    }
};

TEST(UnicastPlan, AWideBlockIsSweptOnceAtTheCappedPace)
{
    UnicastPlan plan;
    plan.SetTargets({Target("10.20.0.0/16")});
    PlanRun run(plan);
    plan.NewSearch(run.start);
    run.For(40s);

    ASSERT_EQ(run.probes.size(), 65534u) << "every address of the block once, then no more in this search";
    std::vector<std::uint32_t> addresses;
    for (const auto& p : run.probes)
        addresses.push_back(p.address);
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(addresses.front(), Host("10.20.0.1"));
    EXPECT_EQ(addresses.back(), Host("10.20.255.254"));
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end());
    EXPECT_LE(run.MostInAnySecond(), 2000u);
    EXPECT_GE(run.MostInAnySecond(), 1900u) << "and not much slower than that";
    EXPECT_EQ(plan.SweepRemaining(), 0u);

    plan.NewSearch(run.start + run.now);  // Search after Stop: swept again
    EXPECT_EQ(plan.SweepRemaining(), 65534u);
    run.For(2s);
    EXPECT_GT(run.probes.size(), 65534u + 3000u);
}

TEST(UnicastPlan, SmallTargetsAndServersFoundInASweepAreProbedEveryRound)
{
    UnicastPlan plan;
    plan.SetTargets({Target("10.30.0.0/24"), Target("10.31.0.5"), Target("10.30.0.7"), Target("10.20.0.0/16")});
    PlanRun run(plan);
    plan.NewSearch(run.start);
    run.For(1200ms);
    plan.NoteReply(Host("10.20.7.7"));  // a server in the swept block
    plan.NoteReply(Host("10.99.0.1"));  // heard, but not from a wide target
    run.For(5000ms - run.now);

    // Ten rounds in five seconds, each with every small target's address
    // once, though the sweep wants every probe the pace allows.
    for (const char* a : {"10.30.0.1", "10.30.0.7", "10.30.0.254", "10.31.0.5"}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(run.Count(Host(a)), 10u);
        for (int round = 0; round < 10; ++round)
            EXPECT_EQ(run.Count(Host(a), round * 500ms, (round + 1) * 500ms), 1u) << "round " << round;
    }
    EXPECT_EQ(run.Count(Host("10.30.0.0")), 0u) << "not the block's network address";
    // Once in the sweep (it was already past 10.20.7.7 or not), then every round.
    EXPECT_GE(run.Count(Host("10.20.7.7"), 1500ms), 7u);
    EXPECT_EQ(run.Count(Host("10.99.0.1")), 0u);
    EXPECT_LE(run.MostInAnySecond(), 2000u);
}

TEST(UnicastPlan, NothingIsDueWhilePausedAndNewTargetsApplyFromTheNextRound)
{
    UnicastPlan plan;
    PlanRun run(plan);
    plan.SetTargets({Target("10.30.0.1-10.30.0.3")});
    run.For(1s);
    EXPECT_TRUE(run.probes.empty()) << "nothing before the first search";
    plan.NewSearch(run.start + run.now);
    run.For(1s);
    EXPECT_EQ(run.probes.size(), 6u);

    plan.Pause();
    run.For(1s);
    EXPECT_EQ(run.probes.size(), 6u);
    EXPECT_EQ(plan.NextDue(run.start + run.now), Clock::time_point::max());

    plan.NewSearch(run.start + run.now);
    plan.SetTargets({Target("10.40.0.9")});
    run.For(1s);
    EXPECT_EQ(run.Count(Host("10.40.0.9")), 2u);
    EXPECT_EQ(run.probes.size(), 8u);
}

TEST(UnicastPlan, ASweepKeepsItsProgressWhenOtherTargetsChange)
{
    UnicastPlan plan;
    PlanRun run(plan);
    plan.SetTargets({Target("10.20.0.0/20")});
    plan.NewSearch(run.start);
    run.For(1s);
    const std::uint64_t left = plan.SweepRemaining();
    ASSERT_LT(left, 4094u - 1000u);
    plan.SetTargets({Target("10.20.0.0/20"), Target("10.50.0.0/23")});
    EXPECT_EQ(plan.SweepRemaining(), left + 510u);
    run.For(3s);
    EXPECT_EQ(plan.SweepRemaining(), 0u);
    EXPECT_EQ(run.probes.size(), 4094u + 510u) << "no address of the first block twice";
}

UnicastPlan::Subnet Link(const char* first, const char* last)
{
    return {Host(first), Host(last)};
}

TEST(UnicastPlan, TheBroadcastLinksAreLeftToTheBroadcastsUnlessAnAddressIsNamedAlone)
{
    UnicastPlan plan;
    PlanRun run(plan);
    // Two links, given out of order, one inside the swept block and one
    // holding a whole block of its own.
    plan.SetBroadcastLinks({Link("10.21.0.0", "10.21.255.255"), Link("10.20.4.0", "10.20.7.255")});
    plan.SetTargets({Target("10.20.0.0/16"), Target("10.21.0.0/20"), Target("10.21.0.0/24"), Target("10.21.0.9"),
                     Target("10.22.0.0/24")});
    plan.NewSearch(run.start);
    EXPECT_EQ(plan.SweepRemaining(), 65534u - 1024u) << "the /20 lies on a link, the /16 partly";
    plan.NoteReply(Host("10.20.5.5"));  // a server on the link, heard through a broadcast
    run.For(50s);                       // the off-link /24's rounds take a quarter of the pace

    EXPECT_EQ(plan.SweepRemaining(), 0u);
    std::size_t onLink = 0, swept = 0;
    for (const auto& p : run.probes) {
        if (p.address >= Host("10.20.4.0") && p.address <= Host("10.20.7.255"))
            ++onLink;
        else if (p.address >= Host("10.20.0.0") && p.address <= Host("10.20.255.255"))
            ++swept;
    }
    EXPECT_EQ(onLink, 0u);
    EXPECT_EQ(swept, 65534u - 1024u) << "the rest of the /16 once";
    EXPECT_EQ(run.Count(Host("10.22.0.7")), 100u) << "a /24 elsewhere every round";
    EXPECT_EQ(run.Count(Host("10.21.0.7")), 0u) << "not on the link, however small the block";
    EXPECT_EQ(run.Count(Host("10.21.1.7")), 0u);
    EXPECT_EQ(run.Count(Host("10.21.0.9")), 100u) << "an address named alone is probed wherever it is";
    EXPECT_EQ(run.Count(Host("10.20.5.5")), 0u) << "the broadcasts reach the server already";

    // A link that comes up during a sweep: what is left of it is left out.
    UnicastPlan later;
    PlanRun laterRun(later);
    later.SetTargets({Target("10.20.0.0/20")});
    later.NewSearch(laterRun.start);
    laterRun.For(1s);
    const std::uint64_t left = later.SweepRemaining();
    later.SetBroadcastLinks({Link("10.20.0.0", "10.20.15.255")});
    EXPECT_EQ(later.SweepRemaining(), 0u);
    laterRun.For(2s);
    EXPECT_EQ(laterRun.probes.size(), 4094u - left);
    EXPECT_EQ(later.NextDue(laterRun.start + laterRun.now), Clock::time_point::max()) << "nothing more to do";
}

}  // namespace
