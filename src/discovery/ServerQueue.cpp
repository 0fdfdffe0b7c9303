#include "discovery/ServerQueue.h"

#include <utility>

ServerQueue::ServerQueue(std::size_t capacity, Merge merge)
    : m_capacity(capacity)
    , m_merge(merge)
{
}

void ServerQueue::SetWake(Wake wake)
{
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

bool ServerQueue::Push(ServerSighting sighting)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting)
            return false;
        if (m_merge == Merge::kByIp) {
            if (const auto it = m_byIp.find(sighting.record.IP); it != m_byIp.end()) {
                m_waiting[it->second] = std::move(sighting);
                return true;
            }
        }
        if (m_waiting.size() >= m_capacity)
            return false;
        if (m_merge == Merge::kByIp)
            m_byIp.emplace(sighting.record.IP, m_waiting.size());
        m_waiting.push_back(std::move(sighting));
        if (m_waiting.size() == 1 && m_armed && m_wake)
            m_wake();
    }
    m_nonEmpty.notify_all();
    return true;
}

std::vector<ServerSighting> ServerQueue::Take()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
    m_byIp.clear();
    return std::exchange(m_waiting, {});
}

bool ServerQueue::Arm()
{
    std::lock_guard lock(m_mutex);
    if (!m_waiting.empty())
        return false;
    m_armed = true;
    return true;
}

bool ServerQueue::WaitUntilNonEmpty(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    return m_nonEmpty.wait_until(lock, deadline, [this] { return !m_waiting.empty(); });
}

void ServerQueue::SetAccepting(bool accepting)
{
    std::lock_guard lock(m_mutex);
    m_accepting = accepting;
    if (!accepting) {
        m_waiting.clear();
        m_byIp.clear();
    }
}

bool ServerQueue::IsAccepting() const
{
    std::lock_guard lock(m_mutex);
    return m_accepting;
}

std::size_t ServerQueue::Size() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}
