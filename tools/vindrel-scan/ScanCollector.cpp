#include "ScanCollector.h"

std::intptr_t ScanCollector::SendMessageW(unsigned message, std::uintptr_t wParam, std::intptr_t)
{
    if (message != WindowMessage::kServerFound || wParam == 0)
        return 0;
    const auto& record = *reinterpret_cast<const ServerRecord*>(wParam);
    {
        std::lock_guard lock(m_mutex);
        if (!m_ips.insert(record.IP).second)
            return 0;
        m_servers.push_back(record);
    }
    m_changed.notify_all();
    return 0;
}

void ScanCollector::WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, deadline, [&] { return m_servers.size() >= count; });
}

std::vector<ServerRecord> ScanCollector::Servers() const
{
    std::lock_guard lock(m_mutex);
    return m_servers;
}
