#pragma once

#include "discovery/DiscoveryEngine.h"
#include "discovery/EngineLog.h"
#include "discovery/EngineStatus.h"
#include "discovery/NeighbourTable.h"
#include "discovery/UnicastPlan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class ServerQueue;

// What the engine's threads share with the engine object. The engine owns
// it and joins every thread before it goes, so plain references serve.
struct EngineContext
{
    explicit EngineContext(DiscoveryOptions o);

    const DiscoveryOptions options;
    std::shared_ptr<ServerQueue> queue;  // set by Start before any thread runs, then only read
    NeighbourTable neighbours;           // links set by the probe side as addresses change
    UnicastPlan unicast;                 // targets set by the engine, replies noted by the listener
    std::atomic<bool> paused{false};
    std::atomic<bool> stopping{false};
    // Counts the searches: Start, and each Search after a Stop. The probe
    // side starts the unicast sweeps over when it changes.
    std::atomic<unsigned> searches{0};

    // One diagnostic line, printf-style, where the options say. Lines longer
    // than 511 bytes are cut.
    void Print(EngineLog::Kind kind, const char* format, ...) const __attribute__((format(printf, 3, 4)));

    // The state the threads report, read by Status() and WaitForListener().
    mutable std::mutex mutex;
    mutable std::condition_variable changed;  // the listener's state moved on, or stopping
    struct Adapter
    {
        std::uint32_t addr = 0;  // network byte order
        AdapterStatus status;
    };
    ListenerStatus listener;
    std::vector<Adapter> adapters;  // in probing order
    bool noAddresses = false;
    std::uint64_t repliesReceived = 0;
    std::uint64_t unicastProbesSent = 0;
    std::uint64_t unicastSendErrors = 0;
    int lastUnicastSendError = 0;

    void SetListener(ListenerStatus::State state, int error);
    // The addresses probed now, in probing order; those that stay keep their
    // counts.
    void SetAdapters(const std::vector<LocalInterface>& links);
    // One broadcast probe from that adapter: sent (error 0) or refused.
    void CountProbe(unsigned ifindex, std::uint32_t addr, int error);
    // Waits up to `timeout` until the listener is past kStarting (or the
    // engine stops).
    void WaitUntilListenerSettled(std::chrono::milliseconds timeout) const;
    // One reply taken in through interface `ifindex`, sent to our `local`
    // address (network byte order; 0 when unknown).
    void CountReply(unsigned ifindex, std::uint32_t local);
};
