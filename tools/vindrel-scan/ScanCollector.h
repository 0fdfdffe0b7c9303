#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <set>
#include <vector>

class ServerQueue;

// The scanner's stand-in for the server list: keeps the first record heard
// from each IP (compared as exact text, as the list does), in order. Reads
// what the engine pushes into its queue; main thread only.
class ScanCollector final
{
public:
    ScanCollector();
    ~ScanCollector();

    // The queue to hand to DiscoveryEngine::Start.
    const std::shared_ptr<ServerQueue>& Queue() const { return m_queue; }

    // Collects until `count` distinct servers are known or `deadline` passes.
    void WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline);
    const std::vector<ServerRecord>& Servers() const { return m_servers; }

private:
    void Collect();

    std::shared_ptr<ServerQueue> m_queue;
    std::vector<ServerRecord> m_servers;
    std::set<std::u16string> m_ips;
};
