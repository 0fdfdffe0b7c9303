#pragma once

#include "discovery/EngineStatus.h"
#include "discovery/ProbeTarget.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class EngineLog;
class ServerQueue;
class ReplyListener;
class ProbeSender;
struct EngineContext;

// Settings for tests, benchmarks and tools; the defaults are the program's
// behaviour.
struct DiscoveryOptions
{
    std::uint16_t listenPort = 6000;  // replies arrive here
    std::uint16_t probePort = 6001;   // probes go to 255.255.255.255 on this port
    std::chrono::milliseconds probeInterval{500};
    // While the reply port cannot be bound, the listener tries again this often.
    std::chrono::milliseconds bindRetry{3000};
    // Receives every diagnostic line as formatted, line end included where the
    // line has one, from the discovery threads, possibly at the same time.
    std::function<void(std::string_view)> diagnostics;
    // Where the lines go when `diagnostics` is empty; null: standard output.
    // An EngineLog never blocks a thread, leaves the per-datagram lines
    // out of the journal and stops at an error. Not owned: it must outlive
    // the engine.
    EngineLog* engineLog = nullptr;
    // Only these interfaces, by name, broadcast probes; empty: every IPv4
    // interface that is up and not loopback.
    std::vector<std::string> interfaces;
    // Probed by unicast beside the broadcasts, from whichever local address
    // routes to each (see UnicastPlan for the pace). A block or range leaves
    // out the addresses on the links the broadcasts go out on, which they
    // reach already (probing them would flood the neighbour table with
    // unanswered ARP); an address given alone is probed wherever it is.
    std::vector<ProbeTarget> targets;
    // Asked of the kernel for the listening socket: a burst of replies from a
    // thousand servers must fit while the hand-off is busy.
    int receiveBufferBytes = 4 * 1024 * 1024;
};

// Whether the one listening socket came up, for front ends that must tell a
// person why nothing can be found.
struct ListenerState
{
    enum class Status { kNotStarted, kStarting, kListening, kNoAddresses, kBindFailed };
    Status status = Status::kNotStarted;
    int error = 0;  // errno of the failed socket or bind, for kBindFailed
};

// Finds Korvan servers: one probe thread broadcasts "Message <n>" from every
// local IPv4 address every probe interval (and probes listed targets by
// unicast), and one listener thread takes the replies on the reply port for
// every interface. Each reply becomes a
// ServerSighting pushed into the consumer's ServerQueue; no thread ever
// waits for the consumer.
//
// The threads wait in poll() and can be woken: Stop (and the destructor)
// ends and joins them, after which the queue gets nothing more and the
// reply port is free again. It recovers by itself: the listener retries a
// port that another program holds, and probing follows the machine's
// addresses as they come, go and change. Every member may be called from
// any thread.
class DiscoveryEngine final
{
public:
    DiscoveryEngine();
    explicit DiscoveryEngine(DiscoveryOptions options);
    ~DiscoveryEngine();
    DiscoveryEngine(const DiscoveryEngine&) = delete;
    DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

    // Starts the threads, once per engine; a null queue, a second call or a
    // call after Stop does nothing. The threads share `queue` with the
    // consumer and push every reply into it.
    void Start(std::shared_ptr<ServerQueue> queue);

    // Ends and joins the threads; idempotent. Returns within about the
    // longest neighbour resolution (300 ms), usually at once.
    void Stop();

    // Once SetPaused(true) returns nothing more reaches the queue, not even
    // what waited in it; a datagram that arrives meanwhile is dropped,
    // replies waiting in the socket are taken after resume. Broadcast
    // probes go on while paused; unicast probing waits, and a resume is a
    // new search (wide blocks are swept again).
    void SetPaused(bool paused);
    bool IsPaused() const;

    // Replaces the unicast targets, before or after Start; they apply from
    // the next round on (within half a second). Returns at once.
    void SetTargets(std::vector<ProbeTarget> targets);
    std::vector<ProbeTarget> Targets() const;

    // Waits up to `timeout` for the listening socket to bind (or fail) and
    // says which. kNoAddresses when there is no address to broadcast from
    // and no target (an address that comes later is still followed).
    ListenerState WaitForListener(std::chrono::milliseconds timeout) const;

    // What the engine is doing now: the listener, every adapter's probes
    // and replies, the pause. Cheap (a copy under a short lock); a window
    // may poll it a few times a second.
    EngineStatus Status() const;

private:
    std::unique_ptr<EngineContext> m_context;
    std::unique_ptr<ReplyListener> m_listener;
    std::unique_ptr<ProbeSender> m_prober;
    std::mutex m_control;  // serialises Start, Stop and SetPaused
    bool m_started = false;
    bool m_stopped = false;
};
