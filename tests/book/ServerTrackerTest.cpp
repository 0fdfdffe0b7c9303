// What the tracker makes of sightings over time: found, moved, renamed,
// version, rebooted, silent, back, and two servers sharing one Korvan ID.
#include "book/ServerTracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Kind = ServerEvent::Kind;
using Clock = std::chrono::system_clock;

ServerRecord Server(std::u16string ip, std::u16string id = u"KORVAN-0003", std::u16string version = u"2.1.4",
                    std::u16string upTime = u"3d 4h")
{
    ServerRecord r;
    r.Name = u"nas3";
    r.IP = std::move(ip);
    r.Port = u"80";
    r.Version = std::move(version);
    r.KorvanID = std::move(id);
    r.UpTime = std::move(upTime);
    return r;
}

// "moved 10.0.0.20>10.0.0.35": kind, from and to in one line per event.
std::vector<std::string> Lines(const std::vector<ServerEvent>& events)
{
    std::vector<std::string> lines;
    for (const ServerEvent& e : events)
        lines.push_back(e.id + " " + std::string(EventKindName(e.kind)) + " " + e.from + ">" + e.to);
    return lines;
}

class Tracking : public ::testing::Test
{
protected:
    // Hears `records` at t0 + `at`.
    std::vector<std::string> Hear(std::chrono::milliseconds at, std::vector<ServerRecord> records)
    {
        std::vector<ServerSighting> sightings;
        for (ServerRecord& r : records)
            sightings.push_back({std::move(r), {}, 0, 0});
        return Lines(m_tracker.Observe(sightings, m_t0 + at));
    }
    std::vector<std::string> Tick(std::chrono::milliseconds at) { return Lines(m_tracker.Tick(m_t0 + at)); }

    using V = std::vector<std::string>;
    const Clock::time_point m_t0 = Clock::time_point(std::chrono::hours(24 * 20000));
    ServerTracker m_tracker{TrackerOptions{60s, 3s}};
};

TEST_F(Tracking, AServerIsFoundOnceAndChangesAreNamed)
{
    EXPECT_EQ(Hear(0ms, {Server(u"10.0.0.20")}), V{"KORVAN-0003 found >10.0.0.20"});
    EXPECT_EQ(Hear(500ms, {Server(u"10.0.0.20", u"KORVAN-0003", u"2.1.4", u"3d 5h")}), V{}) << "up time went up";
    ServerRecord renamed = Server(u"10.0.0.20", u"KORVAN-0003", u"2.1.5", u"3d 6h");
    renamed.Name = u"nas3-new";
    EXPECT_EQ(Hear(1000ms, {renamed}),
              (V{"KORVAN-0003 renamed nas3>nas3-new", "KORVAN-0003 version 2.1.4>2.1.5"}));
    EXPECT_EQ(Hear(1500ms, {Server(u"10.0.0.20", u"KORVAN-0003", u"2.1.5", u"0d 00:01")}).size(), 2u)
        << "renamed back, and rebooted";
    const auto known = m_tracker.Find("KORVAN-0003");
    ASSERT_TRUE(known);
    EXPECT_EQ(known->firstSeen, m_t0);
    EXPECT_EQ(known->lastSeen, m_t0 + 1500ms);
    EXPECT_EQ(known->lastAddress, "10.0.0.20");
    EXPECT_EQ(known->fields.UpTime, u"0d 00:01");
}

TEST_F(Tracking, ARebootIsAnUpTimeThatWentDownWhereBothParse)
{
    struct Case
    {
        const char* why;
        std::u16string before, after;
        bool rebooted;
    };
    const Case cases[] = {
        {"days to minutes", u"3d 4h", u"0d 00:02", true},
        {"a bare count of seconds went down", u"86400", u"12", true},
        {"one form to another, still up", u"2 days", u"2d 0:01", false},
        {"unreadable before", u"a while", u"0d 00:02", false},
        {"unreadable after", u"3d 4h", u"booting", false},
        {"unchanged", u"3d 4h", u"3d 4h", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::u16string id = u"K" + std::u16string(1, static_cast<char16_t>(u'a' + n++));
        Hear(0ms, {Server(u"10.0.1.1", id, u"1", c.before)});
        const auto events = Hear(500ms, {Server(u"10.0.1.1", id, u"1", c.after)});
        EXPECT_EQ(events.size(), c.rebooted ? 1u : 0u);
        if (c.rebooted && !events.empty()) {
            EXPECT_NE(events[0].find(" rebooted "), std::string::npos) << events[0];
        }
    }
}

TEST_F(Tracking, SilenceComesOnceAfterTheThresholdAndBackEndsIt)
{
    Hear(0ms, {Server(u"10.0.0.20")});
    EXPECT_EQ(Tick(59'999ms), V{});
    EXPECT_EQ(Tick(60'000ms), V{"KORVAN-0003 silent 10.0.0.20>"});
    EXPECT_EQ(Tick(120'000ms), V{}) << "silent once";
    EXPECT_FALSE(m_tracker.Find("KORVAN-0003")->answering);
    EXPECT_EQ(Hear(300'000ms, {Server(u"10.0.0.20", u"KORVAN-0003", u"2.1.5", u"0d 00:03")}),
              (V{"KORVAN-0003 back >10.0.0.20", "KORVAN-0003 version 2.1.4>2.1.5", "KORVAN-0003 rebooted 3d 4h>0d 00:03"}));
    EXPECT_TRUE(m_tracker.Find("KORVAN-0003")->answering);
}

TEST_F(Tracking, AMoveAfterTheOldAddressWentQuietIsNamedAtOnce)
{
    Hear(0ms, {Server(u"10.0.0.20")});
    EXPECT_EQ(Hear(10'000ms, {Server(u"10.0.0.35")}), V{"KORVAN-0003 moved 10.0.0.20>10.0.0.35"});
    EXPECT_EQ(m_tracker.Size(), 1u);
    EXPECT_EQ(m_tracker.Find("KORVAN-0003")->lastAddress, "10.0.0.35");
}

TEST_F(Tracking, ANewAddressWhileTheOldOneWasJustHeardIsAMoveOnceTheOldStaysQuiet)
{
    // A DHCP renumbering: the last reply from the old address half a second
    // before the first from the new one.
    Hear(0ms, {Server(u"10.0.0.20")});
    EXPECT_EQ(Hear(500ms, {Server(u"10.0.0.35")}), V{});
    EXPECT_EQ(Hear(1000ms, {Server(u"10.0.0.35")}), V{});
    EXPECT_EQ(Tick(2000ms), V{});
    EXPECT_EQ(Tick(3500ms), V{"KORVAN-0003 moved 10.0.0.20>10.0.0.35"});
    EXPECT_EQ(m_tracker.Size(), 1u);
    EXPECT_EQ(m_tracker.Find("KORVAN-0003")->lastSeen, m_t0 + 1000ms) << "when the new address was last heard";
    EXPECT_EQ(Hear(4000ms, {Server(u"10.0.0.35")}), V{});
}

TEST_F(Tracking, TwoServersSendingOneIdAreBothKeptAndNeverMerged)
{
    Hear(0ms, {Server(u"10.0.0.20")});
    EXPECT_EQ(Hear(500ms, {Server(u"10.0.0.35")}), V{});
    EXPECT_EQ(Hear(1000ms, {Server(u"10.0.0.20"), Server(u"10.0.0.35")}),
              V{"KORVAN-0003@10.0.0.35 conflict 10.0.0.20>10.0.0.35"});
    EXPECT_EQ(Tick(10'000ms), V{}) << "no move once the conflict is known";
    const auto known = m_tracker.Known();
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(known[0].id, "KORVAN-0003");
    EXPECT_EQ(known[0].lastAddress, "10.0.0.20");
    EXPECT_EQ(known[1].id, "KORVAN-0003@10.0.0.35");
    EXPECT_EQ(known[1].claimOf, "KORVAN-0003");
    EXPECT_EQ(known[1].firstSeen, m_t0 + 500ms);

    // Each goes its own way: the second's update is its own, the first stays.
    EXPECT_EQ(Hear(11'000ms, {Server(u"10.0.0.35", u"KORVAN-0003", u"2.2.0")}),
              V{"KORVAN-0003@10.0.0.35 version 2.1.4>2.2.0"});
    EXPECT_EQ(m_tracker.Find("KORVAN-0003")->fields.Version, u"2.1.4");
    EXPECT_EQ(Tick(71'000ms), (V{"KORVAN-0003 silent 10.0.0.20>", "KORVAN-0003@10.0.0.35 silent 10.0.0.35>"}));
}

TEST_F(Tracking, ARestoredBookGoesOnWhereItLeftOff)
{
    const Clock::time_point before = m_t0 - 24h;
    KnownServer answering{"KORVAN-0001", Server(u"10.0.0.1", u"KORVAN-0001"), before, before, "10.0.0.1", true, false, {}};
    KnownServer moving{"KORVAN-0002", Server(u"10.0.0.2", u"KORVAN-0002"), before, before, "10.0.0.2", true, false, {}};
    KnownServer silent{"KORVAN-0003", Server(u"10.0.0.3"), before, before, "10.0.0.3", false, false, {}};
    KnownServer gone{"KORVAN-0004", Server(u"10.0.0.4", u"KORVAN-0004"), before, before, "10.0.0.4", true, false, {}};
    m_tracker.Restore({answering, moving, silent, gone}, m_t0);
    EXPECT_EQ(m_tracker.TakeChanged().size(), 0u) << "restoring writes nothing";

    EXPECT_EQ(Hear(500ms, {Server(u"10.0.0.1", u"KORVAN-0001"), Server(u"10.0.0.9", u"KORVAN-0002"),
                           Server(u"10.0.0.3")}),
              (V{"KORVAN-0002 moved 10.0.0.2>10.0.0.9", "KORVAN-0003 back >10.0.0.3"}));
    EXPECT_EQ(Tick(59'000ms), V{});
    EXPECT_EQ(Tick(60'000ms), V{"KORVAN-0004 silent 10.0.0.4>"}) << "a minute after the start";
    EXPECT_EQ(m_tracker.Find("KORVAN-0001")->firstSeen, before);
}

TEST_F(Tracking, TheChangedServersAreGivenOnceEachInTheirLatestState)
{
    Hear(0ms, {Server(u"10.0.0.20"), Server(u"10.0.0.21", u"K2")});
    Hear(500ms, {Server(u"10.0.0.20", u"KORVAN-0003", u"2.1.4", u"3d 5h")});
    auto changed = m_tracker.TakeChanged();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].fields.UpTime, u"3d 5h");
    EXPECT_EQ(m_tracker.TakeChanged().size(), 0u) << "nothing heard, nothing changed";

    EXPECT_TRUE(m_tracker.SetWatched("K2", true));
    changed = m_tracker.TakeChanged();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_TRUE(changed[0].watched);

    Hear(1000ms, {Server(u"10.0.0.21", u"K2")});
    EXPECT_TRUE(m_tracker.Forget("K2"));
    EXPECT_FALSE(m_tracker.Forget("K2"));
    EXPECT_EQ(m_tracker.TakeChanged().size(), 0u) << "a forgotten server is not written back";
    EXPECT_EQ(Hear(1500ms, {Server(u"10.0.0.21", u"K2")}), V{"K2 found >10.0.0.21"}) << "it is new again";
}

}  // namespace
