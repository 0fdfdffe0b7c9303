#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class NeighbourTable;
class ServerQueue;

// The scanner's stand-in for the server list: keeps the first record heard
// from each IP (compared as exact text, as the list does), in order, and
// fills in its Mac from a later sighting when the first had none. Reads what
// the engine pushes into its queue; main thread only.
class ScanCollector final
{
public:
    ScanCollector();
    ~ScanCollector();

    // The queue to hand to DiscoveryEngine::Start.
    const std::shared_ptr<ServerQueue>& Queue() const { return m_queue; }

    // Collects until `count` distinct servers are known or `deadline` passes.
    void WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline);
    // A last look in the neighbour table for servers still without a Mac: an
    // entry may have appeared after their last reply.
    void FillMissingMacs(NeighbourTable& table);
    const std::vector<ServerRecord>& Servers() const { return m_servers; }

private:
    void Collect();

    std::shared_ptr<ServerQueue> m_queue;
    std::vector<ServerRecord> m_servers;
    std::unordered_map<std::u16string, std::size_t> m_byIp;  // position in m_servers
};
