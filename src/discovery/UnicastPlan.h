#pragma once

#include "discovery/ProbeTarget.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

// When each unicast probe goes out. Targets of at most everyRoundUpTo
// addresses are probed every round; wider blocks are swept once per search
// (Start, and each Search after a Stop), and every server heard from inside
// one is then probed every round by its own address. Everything is paced:
// a steady perSecond with bursts of at most `burst`, so that no second ever
// holds more than perSecond + burst probes (1950 + 25 < 2000). A round's
// addresses go first; the sweep takes what the pace leaves. A round that
// the pace cannot finish in time delays the next one rather than piling up.
//
// Addresses on the links the broadcasts go out on (SetBroadcastLinks) are
// left to the broadcasts, which reach every server there already, unless a
// target names one alone. Each unanswered unicast probe to a local address
// waits about 3 s for an ARP answer, holding the socket's send buffer and a
// neighbour entry: some 40 empty addresses a round fill the buffer (every
// unicast probe, to routed servers too, then fails with EAGAIN), and a
// sweep's thousands fill the kernel's neighbour table (ENOBUFS, for every
// program on the machine). Servers heard from such an address are not
// probed by it either. Links that the broadcasts do not serve (left out of
// DiscoveryOptions::interfaces) are probed as the targets say.
//
// Pure bookkeeping, no sockets: the probe thread asks Take what to send now
// and NextDue when to ask again. SetTargets and NoteReply may be called from
// any thread; the rest from the probe thread.
class UnicastPlan final
{
public:
    using Clock = std::chrono::steady_clock;

    struct Limits
    {
        double perSecond = 1950;
        double burst = 25;
        Clock::duration round = std::chrono::milliseconds(500);
        std::uint64_t everyRoundUpTo = 256;
    };

    UnicastPlan();
    explicit UnicastPlan(Limits limits);

    // An IPv4 subnet, host byte order, both ends included.
    struct Subnet
    {
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };

    // Replaces the subnets of the links the broadcasts go out on; their
    // addresses are left out from the next round and the sweep's next
    // address on.
    void SetBroadcastLinks(std::vector<Subnet> links);

    // Replaces the targets. The current round's remaining probes are
    // dropped; the new targets are probed from the next round on. A wide
    // block that was being swept keeps its progress; a new one is swept in
    // the current search.
    void SetTargets(std::vector<ProbeTarget> targets);
    std::vector<ProbeTarget> Targets() const;

    // A search begins (Start, or Search after Stop): the sweeps start over
    // and a round is due at once. Until the first call nothing is due.
    void NewSearch(Clock::time_point now);
    // Stop: nothing is due until the next NewSearch.
    void Pause();

    // A reply came from `address` (host byte order). Cheap when there is no
    // wide block.
    void NoteReply(std::uint32_t address);

    // The addresses to probe now (host byte order), as many as the pace
    // allows.
    std::vector<std::uint32_t> Take(Clock::time_point now);
    // When Take will next have something; Clock::time_point::max() when
    // nothing will be due until targets or a search change.
    Clock::time_point NextDue(Clock::time_point now) const;

    // Addresses of wide blocks still to be probed in this search (those on
    // broadcast links are not).
    std::uint64_t SweepRemaining() const;

private:
    struct Sweep
    {
        ProbeTarget target;
        std::uint64_t next = 0;  // the next address to probe; past `last` when swept
    };

    void Refill(Clock::time_point now);
    void BuildRound();
    bool RoundPending() const { return m_roundPos < m_round.size(); }
    bool SweepPending() const { return SweepRemainingLocked() > 0; }
    std::uint64_t SweepRemainingLocked() const;
    // Past the broadcast link that holds `address`, or `address` itself when
    // none does.
    std::uint64_t SkipBroadcastLinks(std::uint64_t address) const;

    const Limits m_limits;
    mutable std::mutex m_mutex;
    std::vector<ProbeTarget> m_targets;
    std::vector<ProbeTarget> m_everyRound;
    std::vector<Sweep> m_sweeps;
    std::vector<Subnet> m_broadcastLinks;  // sorted, disjoint, not adjacent
    std::atomic<bool> m_hasSweeps{false};
    std::set<std::uint32_t> m_responders;  // heard from inside a swept block
    std::vector<std::uint32_t> m_round;    // this round's addresses
    std::size_t m_roundPos = 0;
    bool m_searching = false;
    Clock::time_point m_nextRound{};
    double m_tokens = 0;
    Clock::time_point m_tokensAt{};
};
