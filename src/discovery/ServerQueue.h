#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// One reply as the engine heard it: the record, when, and through which local
// interface it arrived (where a Wake-on-LAN packet for that server goes).
struct ServerSighting
{
    ServerRecord record;
    std::chrono::steady_clock::time_point heardAt{};
    unsigned interfaceIndex = 0;     // kernel index of the receiving interface; 0 when unknown
    std::uint32_t localAddress = 0;  // our address the reply was sent to, network byte order; 0 when unknown
};

// The hand-off from the discovery threads to one consumer (a window, the
// scanner). It owns what it carries and never makes a producer wait for the
// consumer: Push only takes a short lock.
//
// Replies are coalesced by IP: while a sighting of a server waits, a newer
// one replaces it in place, so the queue holds at most one entry per server
// and a consumer that drains 30 times a second sees each server's latest
// state, not every datagram.
//
// The consumer is woken once per transition from empty to non-empty while it
// is armed; Take disarms it and Arm re-arms it, so a consumer can bound how
// often it wakes (drain, wait a while, Arm or drain again).
class ServerQueue final
{
public:
    using Wake = std::function<void()>;

    enum class Merge {
        kByIp,  // a newer sighting of a waiting server replaces it in place
        kNone,  // every sighting waits (captures, tests that count replies)
    };

    // At most `capacity` sightings wait at a time; a flood of spoofed
    // senders beyond it is dropped rather than held in memory.
    explicit ServerQueue(std::size_t capacity = 65536, Merge merge = Merge::kByIp);
    ServerQueue(const ServerQueue&) = delete;
    ServerQueue& operator=(const ServerQueue&) = delete;

    // Consumer. `wake` runs on the pushing thread with the queue's lock held:
    // it must not block or call back into the queue (post an event, notify a
    // condition). Once SetWake returns, the previous wake is never called
    // again. The queue starts armed.
    void SetWake(Wake wake);

    // Producer, any thread. False when the queue refused the sighting (not
    // accepting, or full of other servers).
    bool Push(ServerSighting sighting);

    // Consumer: everything waiting, in the order each server was first
    // queued since the last Take. Disarms the wake until Arm.
    std::vector<ServerSighting> Take();

    // Consumer: re-arms the wake and answers true; answers false and stays
    // disarmed when sightings are waiting already (take them now).
    bool Arm();

    // Consumer: blocks until something waits or `deadline` passes; answers
    // whether something waits. For consumers without an event loop.
    bool WaitUntilNonEmpty(std::chrono::steady_clock::time_point deadline);

    // Any thread. false drops everything waiting and refuses pushes until
    // true again: once SetAccepting(false) returns, Take gives nothing that
    // was pushed before it.
    void SetAccepting(bool accepting);
    bool IsAccepting() const;

    std::size_t Size() const;

private:
    const std::size_t m_capacity;
    const Merge m_merge;
    mutable std::mutex m_mutex;
    std::condition_variable m_nonEmpty;
    std::vector<ServerSighting> m_waiting;
    std::unordered_map<std::u16string, std::size_t> m_byIp;  // position in m_waiting
    Wake m_wake;
    bool m_armed = true;
    bool m_accepting = true;
};
