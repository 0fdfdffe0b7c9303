#include "discovery/NeighbourTable.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

// A table read is cheap but not free (1000 servers: ~80 kB of text); misses
// re-read it at most this often, and hits once it is this old, so a server
// that changed hardware is seen again.
constexpr auto kReloadGap = std::chrono::milliseconds(100);
constexpr auto kMaxAge = std::chrono::seconds(5);
constexpr auto kPollStep = std::chrono::milliseconds(10);
constexpr std::size_t kMaxRemembered = 4096;

}  // namespace

NeighbourTable::NeighbourTable(std::vector<LocalInterface> links)
    : NeighbourTable(std::move(links), Limits{})
{
}

NeighbourTable::NeighbourTable(std::vector<LocalInterface> links, Limits limits)
    : m_limits(limits)
    , m_links(std::move(links))
    , m_budget(limits.waitBudget)
    , m_budgetAt(Clock::now())
{
}

NeighbourTable::~NeighbourTable() = default;

void NeighbourTable::SetLinks(std::vector<LocalInterface> links)
{
    std::lock_guard lock(m_linksMutex);
    m_links = std::move(links);
}

std::optional<MacAddress> NeighbourTable::Lookup(std::uint32_t address)
{
    std::lock_guard lock(m_mutex);
    auto now = Clock::now();
    if (auto mac = FindFresh(address, now))
        return mac;
    if (!IsResolvable(address))
        return std::nullopt;

    auto& last = m_lastResolve[address];
    if (last != Clock::time_point{} && now - last < m_limits.retryAfter)
        return std::nullopt;
    last = now;
    if (m_lastResolve.size() > kMaxRemembered)
        std::erase_if(m_lastResolve, [&](const auto& e) { return now - e.second >= m_limits.retryAfter; });

    // Refill the waiting budget for the time gone by, then spend from it.
    const auto refill =
        std::chrono::duration_cast<Clock::duration>((now - m_budgetAt) * m_limits.budgetRefillPerSecond);
    m_budget = std::min<Clock::duration>(m_limits.waitBudget, m_budget + refill);
    m_budgetAt = now;

    m_kernel.Ask(address);
    // Wait only when the budget covers a whole poll step, and charge the wait
    // in full, overshoot included (the budget may run into debt that later
    // refills pay back). Otherwise a crumb of budget buys a full step, and a
    // flood of unknown senders sleeps a step per datagram.
    std::optional<MacAddress> mac;
    if (m_budget >= kPollStep) {
        const auto until = now + std::min<Clock::duration>(m_limits.resolveWait, m_budget);
        while (Clock::now() < until) {
            std::this_thread::sleep_for(kPollStep);
            Reload(Clock::now());
            if ((mac = Find(address)))
                break;
        }
    }
    now = Clock::now();
    m_budget -= now - m_budgetAt;
    m_budgetAt = now;
    return mac;
}

std::optional<MacAddress> NeighbourTable::Known(std::uint32_t address)
{
    std::lock_guard lock(m_mutex);
    return FindFresh(address, Clock::now());
}

std::optional<MacAddress> NeighbourTable::FindFresh(std::uint32_t address, Clock::time_point now)
{
    if (now - m_readAt > kMaxAge)
        Reload(now);
    if (auto mac = Find(address))
        return mac;
    if (now - m_readAt >= kReloadGap) {
        Reload(now);
        return Find(address);
    }
    return std::nullopt;
}

bool NeighbourTable::IsResolvable(std::uint32_t address) const
{
    std::lock_guard lock(m_linksMutex);
    bool onLink = false;
    for (const LocalInterface& link : m_links) {
        if (link.addr == address)
            return false;  // ourselves: no neighbour entry, nothing to ask
        if (link.netmask != 0 && (link.addr & link.netmask) == (address & link.netmask))
            onLink = true;
    }
    return onLink;
}

void NeighbourTable::Reload(Clock::time_point now)
{
    m_table = m_kernel.Read();
    m_readAt = now;
}

std::optional<MacAddress> NeighbourTable::Find(std::uint32_t address) const
{
    const auto it = m_table.find(address);
    if (it == m_table.end())
        return std::nullopt;
    return it->second;
}
