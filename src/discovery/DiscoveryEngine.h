#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ServerQueue;

// Settings for tests, benchmarks and tools; the defaults are the program's
// behaviour.
struct DiscoveryOptions
{
    std::uint16_t listenPort = 6000;  // replies arrive here
    std::uint16_t probePort = 6001;   // probes go to 255.255.255.255 on this port
    std::chrono::milliseconds probeInterval{500};
    // Receives every diagnostic line as formatted, line end included where the
    // line has one. Called from the discovery threads, possibly at the same
    // time, and possibly while the process exits: keep it free of objects
    // that static destruction could tear down. Empty: standard output, as
    // bytes, flushed per line.
    std::function<void(std::string_view)> diagnostics;
    // Only these interfaces, by name; empty: every IPv4 interface that is up
    // and not loopback.
    std::vector<std::string> interfaces;
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
    int error = 0;  // errno of the last failed listener, for kBindFailed
};

struct DiscoveryShared;

// Finds Korvan servers: for every local IPv4 address a probe thread
// broadcasts "Message <n>" every probe interval, and a listener thread waits
// on the reply port (one of them binds it; the others report the port taken
// and end). Each reply becomes a ServerSighting pushed into the consumer's
// ServerQueue; no thread ever waits for the consumer.
//
// The threads are never stopped and end with the process. They share their
// state with the engine through a reference of their own, so the engine
// object may go away before them: from then on nothing more is handed over.
class DiscoveryEngine final
{
public:
    DiscoveryEngine();
    explicit DiscoveryEngine(DiscoveryOptions options);
    ~DiscoveryEngine();
    DiscoveryEngine(const DiscoveryEngine&) = delete;
    DiscoveryEngine& operator=(const DiscoveryEngine&) = delete;

    // Starts the threads, once; a null queue or a second call does nothing.
    // The threads share `queue` with the consumer and push every reply into it.
    void Start(std::shared_ptr<ServerQueue> queue);
    // Hands nothing more over from now on. Idempotent.
    void Stop();

    // Any thread. Once SetPaused(true) returns nothing more reaches the queue,
    // not even what waited in it; a datagram that arrives meanwhile is
    // dropped, replies waiting in the socket are taken after resume.
    void SetPaused(bool paused);
    bool IsPaused() const;

    // Waits up to `timeout` for the listening socket to bind (or for every
    // listener to fail) and says which.
    ListenerState WaitForListener(std::chrono::milliseconds timeout) const;

private:
    std::shared_ptr<DiscoveryShared> m_shared;
};
