#pragma once

#include "discovery/ServerRecord.h"
#include "net/KernelNeighbours.h"
#include "net/LocalInterface.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

// Hardware addresses of IPv4 hosts on the local links, from the kernel's
// neighbour table (KernelNeighbours: /proc/net/arp of the calling thread's
// network namespace, GetIpNetTable2 on Windows).
//
// It sits on the listener's hot path (thousands of replies a second), so it
// keeps the last table it read and reads it again only on a miss, at most
// every kReloadGap. A host that has no entry is resolved the way an ARP
// request would: a zero-length datagram to its discard port makes the kernel
// ask, and Lookup waits a bounded time for the answer. That happens only for
// addresses on a local link, at most once per address per minute, and only
// while a small waiting budget lasts, so a router's far side or a flood of
// unknown senders cannot stall the listener: they get no address instead.
//
// Safe to call from several threads; the calls are serialised.
class NeighbourTable final
{
public:
    struct Limits
    {
        std::chrono::milliseconds resolveWait{300};   // longest wait for one address
        std::chrono::milliseconds retryAfter{60000};  // per address, between two resolutions
        std::chrono::milliseconds waitBudget{600};    // most waiting banked at a time
        double budgetRefillPerSecond = 0.25;          // waiting allowed per second of time
    };

    explicit NeighbourTable(std::vector<LocalInterface> links);
    NeighbourTable(std::vector<LocalInterface> links, Limits limits);
    ~NeighbourTable();
    NeighbourTable(const NeighbourTable&) = delete;
    NeighbourTable& operator=(const NeighbourTable&) = delete;

    // The local links that decide which addresses may be resolved; they
    // follow the machine's addresses as they change.
    void SetLinks(std::vector<LocalInterface> links);

    // `address` in network byte order. nullopt when no complete entry is
    // known (nor could be learnt within the limits). A miss is never kept:
    // the table is read again for it once the last read is 100 ms old,
    // so a host whose entry appears later is found by its next reply.
    std::optional<MacAddress> Lookup(std::uint32_t address);

    // Like Lookup, but never asks the kernel to resolve and never waits: for
    // a last look at what the table has learnt meanwhile.
    std::optional<MacAddress> Known(std::uint32_t address);

private:
    using Clock = std::chrono::steady_clock;

    std::optional<MacAddress> FindFresh(std::uint32_t address, Clock::time_point now);
    bool IsResolvable(std::uint32_t address) const;
    void Reload(Clock::time_point now);
    std::optional<MacAddress> Find(std::uint32_t address) const;

    const Limits m_limits;
    // Its own lock: Lookup may wait for the kernel with m_mutex held, and
    // whoever sets the links must not wait with it.
    mutable std::mutex m_linksMutex;
    std::vector<LocalInterface> m_links;
    std::mutex m_mutex;
    std::unordered_map<std::uint32_t, MacAddress> m_table;
    Clock::time_point m_readAt{};
    std::unordered_map<std::uint32_t, Clock::time_point> m_lastResolve;
    Clock::duration m_budget;
    Clock::time_point m_budgetAt;
    KernelNeighbours m_kernel;
};
