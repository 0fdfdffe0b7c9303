#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// What the engine can say about itself at a moment, for front ends that must
// tell a person why nothing was found: the state of the listening socket and
// what each adapter did. A snapshot: copied out under a lock, safe to keep.

struct ListenerStatus
{
    enum class State {
        kNotStarted,  // Start has not run
        kStarting,    // the socket is being set up
        kListening,   // port 6000 is bound and replies are taken in
        kPortInUse,   // another program holds the port; retried every few seconds
        kFailed,      // another error (see error); retried every few seconds
    };
    State state = State::kNotStarted;
    int error = 0;  // errno of the last failed bind or socket call; 0 when none
};

struct AdapterStatus
{
    std::string name;         // "eth0"
    std::string address;      // dotted IPv4 text
    unsigned prefixLength = 0;
    unsigned index = 0;       // kernel interface index
    std::uint64_t probesSent = 0;       // broadcast probes the system accepted
    std::uint64_t sendErrors = 0;       // broadcast probes it refused
    int lastSendError = 0;              // errno of the last refused probe; 0 when none
    std::uint64_t repliesReceived = 0;  // replies that arrived through this adapter
};

struct EngineStatus
{
    ListenerStatus listener;
    std::vector<AdapterStatus> adapters;  // the addresses probed now, in probing order
    bool noAddresses = false;             // no IPv4 address (loopback aside) is up
    bool paused = false;
    std::uint64_t unicastProbesSent = 0;  // probes to listed targets
    std::uint64_t repliesReceived = 0;    // every reply taken in, whatever the adapter
    std::uint64_t unicastSendErrors = 0;  // unicast probes the system refused (no route, ...)
    int lastUnicastSendError = 0;         // errno of the last of them; 0 when none
    std::uint64_t sweepRemaining = 0;     // addresses of wide blocks not yet probed in this search
};
