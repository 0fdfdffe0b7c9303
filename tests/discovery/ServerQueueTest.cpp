// The hand-off between the discovery threads and their consumer.
#include "discovery/ServerQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

ServerSighting Sighting(const char16_t* ip, const char16_t* name = u"nas")
{
    ServerSighting s;
    s.record.IP = ip;
    s.record.Name = name;
    return s;
}

std::vector<std::u16string> Names(const std::vector<ServerSighting>& batch)
{
    std::vector<std::u16string> names;
    for (const ServerSighting& s : batch)
        names.push_back(s.record.IP + u"=" + s.record.Name);
    return names;
}

TEST(ServerQueue, ANewerSightingOfAWaitingServerTakesItsPlace)
{
    ServerQueue queue;
    queue.Push(Sighting(u"10.0.0.1", u"first"));
    queue.Push(Sighting(u"10.0.0.2"));
    queue.Push(Sighting(u"10.0.0.1", u"renamed"));
    EXPECT_EQ(Names(queue.Take()), (std::vector<std::u16string>{u"10.0.0.1=renamed", u"10.0.0.2=nas"}));
    EXPECT_TRUE(queue.Take().empty());
    queue.Push(Sighting(u"10.0.0.1", u"again"));
    EXPECT_EQ(Names(queue.Take()), (std::vector<std::u16string>{u"10.0.0.1=again"})) << "taken ones wait anew";
}

TEST(ServerQueue, WithoutMergingEverySightingWaits)
{
    ServerQueue queue(8, ServerQueue::Merge::kNone);
    queue.Push(Sighting(u"10.0.0.1", u"a"));
    queue.Push(Sighting(u"10.0.0.1", u"b"));
    EXPECT_EQ(Names(queue.Take()), (std::vector<std::u16string>{u"10.0.0.1=a", u"10.0.0.1=b"}));
}

TEST(ServerQueue, WakesOncePerEmptyToNonEmptyWhileArmed)
{
    ServerQueue queue;
    int wakes = 0;
    queue.SetWake([&wakes] { ++wakes; });
    queue.Push(Sighting(u"10.0.0.1"));
    queue.Push(Sighting(u"10.0.0.2"));
    EXPECT_EQ(wakes, 1);
    queue.Take();  // disarms
    queue.Push(Sighting(u"10.0.0.3"));
    EXPECT_EQ(wakes, 1) << "a consumer that has not re-armed is not woken";
    EXPECT_FALSE(queue.Arm()) << "something waits: take it instead";
    queue.Take();
    EXPECT_TRUE(queue.Arm());
    queue.Push(Sighting(u"10.0.0.4"));
    EXPECT_EQ(wakes, 2);
    queue.SetWake({});
    queue.Take();
    queue.Arm();
    queue.Push(Sighting(u"10.0.0.5"));
    EXPECT_EQ(wakes, 2) << "a withdrawn wake is never called";
}

TEST(ServerQueue, NotAcceptingDropsWhatWaitsAndRefusesMore)
{
    ServerQueue queue;
    queue.Push(Sighting(u"10.0.0.1"));
    queue.SetAccepting(false);
    EXPECT_FALSE(queue.Push(Sighting(u"10.0.0.2")));
    EXPECT_TRUE(queue.Take().empty());
    queue.SetAccepting(true);
    EXPECT_TRUE(queue.Push(Sighting(u"10.0.0.3")));
    EXPECT_EQ(queue.Size(), 1u);
}

TEST(ServerQueue, AFloodBeyondItsCapacityIsDropped)
{
    ServerQueue queue(2);
    EXPECT_TRUE(queue.Push(Sighting(u"10.0.0.1")));
    EXPECT_TRUE(queue.Push(Sighting(u"10.0.0.2")));
    EXPECT_FALSE(queue.Push(Sighting(u"10.0.0.3")));
    EXPECT_TRUE(queue.Push(Sighting(u"10.0.0.1", u"newer"))) << "a waiting server is still updated";
    EXPECT_EQ(queue.Size(), 2u);
}

TEST(ServerQueue, ProducersNeverLoseAServerToARacingConsumer)
{
    ServerQueue queue;
    std::atomic<bool> done = false;
    std::thread producer([&] {
        for (int i = 0; i < 20000; ++i)
            queue.Push(Sighting((u"10.0." + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".1").c_str()));
        done = true;
    });
    std::set<std::u16string> seen;
    while (!done || queue.Size() > 0) {
        queue.WaitUntilNonEmpty(std::chrono::steady_clock::now() + std::chrono::milliseconds(5));
        for (const ServerSighting& s : queue.Take())
            seen.insert(s.record.IP);
    }
    producer.join();
    EXPECT_EQ(seen.size(), 10u);
}

}  // namespace
