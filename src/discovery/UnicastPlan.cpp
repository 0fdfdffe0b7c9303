#include "discovery/UnicastPlan.h"

#include <algorithm>

UnicastPlan::UnicastPlan()
    : UnicastPlan(Limits{})
{
}

UnicastPlan::UnicastPlan(Limits limits)
    : m_limits(limits)
{
}

void UnicastPlan::SetTargets(std::vector<ProbeTarget> targets)
{
    std::lock_guard lock(m_mutex);
    std::vector<Sweep> sweeps;
    m_everyRound.clear();
    for (const ProbeTarget& t : targets) {
        if (t.Size() <= m_limits.everyRoundUpTo) {
            m_everyRound.push_back(t);
            continue;
        }
        const auto same = [&](const Sweep& s) { return s.target.first == t.first && s.target.last == t.last; };
        const auto old = std::find_if(m_sweeps.begin(), m_sweeps.end(), same);
        sweeps.push_back(old != m_sweeps.end() ? *old : Sweep{t, t.first});
    }
    m_sweeps = std::move(sweeps);
    m_hasSweeps.store(!m_sweeps.empty());
    std::erase_if(m_responders, [&](std::uint32_t a) {
        return std::none_of(m_sweeps.begin(), m_sweeps.end(), [&](const Sweep& s) { return s.target.Contains(a); });
    });
    m_targets = std::move(targets);
    m_round.clear();
    m_roundPos = 0;
}

std::vector<ProbeTarget> UnicastPlan::Targets() const
{
    std::lock_guard lock(m_mutex);
    return m_targets;
}

void UnicastPlan::NewSearch(Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    for (Sweep& s : m_sweeps)
        s.next = s.target.first;
    m_round.clear();
    m_roundPos = 0;
    if (!m_searching) {
        m_searching = true;
        m_tokensAt = now;
        m_tokens = std::min(m_tokens, m_limits.burst);
    }
    m_nextRound = now;
}

void UnicastPlan::Pause()
{
    std::lock_guard lock(m_mutex);
    m_searching = false;
    m_round.clear();
    m_roundPos = 0;
}

void UnicastPlan::NoteReply(std::uint32_t address)
{
    if (!m_hasSweeps.load(std::memory_order_relaxed))
        return;
    std::lock_guard lock(m_mutex);
    if (std::any_of(m_sweeps.begin(), m_sweeps.end(), [&](const Sweep& s) { return s.target.Contains(address); }))
        m_responders.insert(address);
}

void UnicastPlan::Refill(Clock::time_point now)
{
    const double earned = std::chrono::duration<double>(now - m_tokensAt).count() * m_limits.perSecond;
    if (earned > 0)
        m_tokens = std::min(m_limits.burst, m_tokens + earned);
    m_tokensAt = now;
}

void UnicastPlan::BuildRound()
{
    m_round.clear();
    m_roundPos = 0;
    for (const ProbeTarget& t : m_everyRound) {
        const bool alone = t.Size() == 1;
        for (std::uint64_t a = t.first; a <= t.last; ++a) {
            if (const std::uint64_t past = SkipBroadcastLinks(a); past != a && !alone) {
                a = past - 1;
                continue;
            }
            m_round.push_back(static_cast<std::uint32_t>(a));
        }
    }
    for (const std::uint32_t a : m_responders)
        if (SkipBroadcastLinks(a) == a)
            m_round.push_back(a);
    // Each address once a round, however many targets name it.
    std::sort(m_round.begin(), m_round.end());
    m_round.erase(std::unique(m_round.begin(), m_round.end()), m_round.end());
}

void UnicastPlan::SetBroadcastLinks(std::vector<Subnet> links)
{
    std::sort(links.begin(), links.end(), [](const Subnet& a, const Subnet& b) { return a.first < b.first; });
    std::vector<Subnet> merged;
    for (const Subnet& l : links) {
        if (l.first > l.last)
            continue;
        if (!merged.empty() && std::uint64_t{l.first} <= std::uint64_t{merged.back().last} + 1)
            merged.back().last = std::max(merged.back().last, l.last);
        else
            merged.push_back(l);
    }
    std::lock_guard lock(m_mutex);
    m_broadcastLinks = std::move(merged);
}

std::uint64_t UnicastPlan::SkipBroadcastLinks(std::uint64_t address) const
{
    for (const Subnet& l : m_broadcastLinks)
        if (l.first <= address && address <= l.last)
            return std::uint64_t{l.last} + 1;
    return address;
}

std::vector<std::uint32_t> UnicastPlan::Take(Clock::time_point now)
{
    std::vector<std::uint32_t> due;
    std::lock_guard lock(m_mutex);
    if (!m_searching)
        return due;
    Refill(now);
    if (!RoundPending() && now >= m_nextRound) {
        BuildRound();
        // A steady rhythm, but a round that ran late does not make the next
        // ones crowd in after it.
        m_nextRound += m_limits.round;
        if (m_nextRound <= now)
            m_nextRound = now + m_limits.round;
    }
    auto sweep = m_sweeps.begin();
    while (m_tokens >= 1) {
        if (RoundPending()) {
            due.push_back(m_round[m_roundPos++]);
        } else {
            for (; sweep != m_sweeps.end(); ++sweep) {
                sweep->next = SkipBroadcastLinks(sweep->next);
                if (sweep->next <= sweep->target.last)
                    break;
            }
            if (sweep == m_sweeps.end())
                break;
            due.push_back(static_cast<std::uint32_t>(sweep->next++));
        }
        m_tokens -= 1;
    }
    return due;
}

UnicastPlan::Clock::time_point UnicastPlan::NextDue(Clock::time_point now) const
{
    std::lock_guard lock(m_mutex);
    if (!m_searching)
        return Clock::time_point::max();
    const bool pending = RoundPending() || SweepPending();
    if (!pending) {
        if (m_everyRound.empty() && m_responders.empty())
            return Clock::time_point::max();
        return m_nextRound;
    }
    // Wake for a handful at a time rather than for every single probe.
    const auto left = static_cast<double>(m_round.size() - m_roundPos + SweepRemainingLocked());
    const double want = std::max(1.0, std::min({m_limits.burst, 10.0, left}));
    const double tokens = std::min(m_limits.burst, m_tokens + std::chrono::duration<double>(now - m_tokensAt).count() *
                                                                  m_limits.perSecond);
    if (tokens >= want)
        return now;
    const auto wait = std::chrono::duration<double>((want - tokens) / m_limits.perSecond);
    return now + std::chrono::duration_cast<Clock::duration>(wait);
}

std::uint64_t UnicastPlan::SweepRemainingLocked() const
{
    std::uint64_t left = 0;
    for (const Sweep& s : m_sweeps) {
        if (s.next > s.target.last)
            continue;
        left += s.target.last - s.next + 1;
        for (const Subnet& l : m_broadcastLinks) {
            const std::uint64_t from = std::max<std::uint64_t>(s.next, l.first);
            const std::uint64_t to = std::min<std::uint64_t>(s.target.last, l.last);
            if (from <= to)
                left -= to - from + 1;
        }
    }
    return left;
}

std::uint64_t UnicastPlan::SweepRemaining() const
{
    std::lock_guard lock(m_mutex);
    return SweepRemainingLocked();
}
