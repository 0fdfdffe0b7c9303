#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class IMessageTarget;

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
// and end). Each reply becomes a ServerRecord handed synchronously to the
// window with WindowMessage::kServerFound.
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

    // Starts the threads, once; a null window or a second call does nothing.
    // `window` is not owned; it receives records on the listener thread for as
    // long as the process runs or this engine lives, whichever ends first,
    // and must answer 0 without blocking once it cannot take them any more.
    void Start(IMessageTarget* window);

    // Any thread. While paused, no hand-off begins: a datagram that arrives
    // meanwhile is dropped, replies queued in the socket wait for resume.
    void SetPaused(bool paused);
    bool IsPaused() const;

    // Waits up to `timeout` for the listening socket to bind (or for every
    // listener to fail) and says which.
    ListenerState WaitForListener(std::chrono::milliseconds timeout) const;

private:
    std::shared_ptr<DiscoveryShared> m_shared;
};
