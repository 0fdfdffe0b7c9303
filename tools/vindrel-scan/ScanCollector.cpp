#include "ScanCollector.h"

#include "base/LocaleText.h"
#include "discovery/NeighbourTable.h"
#include "discovery/ServerQueue.h"
#include "net/SocketApi.h"

ScanCollector::ScanCollector()
    : m_queue(std::make_shared<ServerQueue>())
{
}

ScanCollector::~ScanCollector() = default;

void ScanCollector::Collect()
{
    for (ServerSighting& sighting : m_queue->Take()) {
        const auto [it, fresh] = m_byIp.emplace(sighting.record.IP, m_servers.size());
        if (fresh)
            m_servers.push_back(std::move(sighting.record));
        else if (ServerRecord& known = m_servers[it->second]; known.Mac.empty())
            known.Mac = std::move(sighting.record.Mac);
    }
}

void ScanCollector::WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline)
{
    Collect();
    while (m_servers.size() < count && m_queue->WaitUntilNonEmpty(deadline))
        Collect();
}

void ScanCollector::FillMissingMacs(NeighbourTable& table)
{
    for (ServerRecord& server : m_servers) {
        in_addr address{};
        if (!server.Mac.empty() || inet_pton(AF_INET, ToUtf8(server.IP).c_str(), &address) != 1)
            continue;
        if (const auto mac = table.Known(address.s_addr))
            server.Mac = FormatMac(*mac);
    }
}
