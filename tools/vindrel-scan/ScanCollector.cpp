#include "ScanCollector.h"

#include "discovery/ServerQueue.h"

ScanCollector::ScanCollector()
    : m_queue(std::make_shared<ServerQueue>())
{
}

ScanCollector::~ScanCollector() = default;

void ScanCollector::Collect()
{
    for (ServerSighting& sighting : m_queue->Take()) {
        if (m_ips.insert(sighting.record.IP).second)
            m_servers.push_back(std::move(sighting.record));
    }
}

void ScanCollector::WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline)
{
    Collect();
    while (m_servers.size() < count && m_queue->WaitUntilNonEmpty(deadline))
        Collect();
}
