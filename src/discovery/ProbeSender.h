#pragma once

#include "net/AddressWatch.h"
#include "net/LocalInterface.h"
#include "net/PollWaker.h"
#include "net/UdpSocket.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

struct EngineContext;

// The probe side: one thread that broadcasts "Message <n>" from every local
// IPv4 address, each with its own socket bound to it and its own counter
// from 1, once at once and then every probe interval. It follows the
// machine's addresses as they come, go and change (AddressWatch), and goes
// on while the engine is paused, as probing always has.
//
// The same thread probes the listed targets by unicast, as the context's
// UnicastPlan paces them, with the same payload and one counter shared by
// every unicast probe (from 1 per engine), while the engine is not paused.
class ProbeSender final
{
public:
    // `watch` was opened before `links` were listed, so that no change in
    // between is missed.
    ProbeSender(EngineContext& context, std::unique_ptr<AddressWatch> watch, std::vector<LocalInterface> links);
    ~ProbeSender();
    ProbeSender(const ProbeSender&) = delete;
    ProbeSender& operator=(const ProbeSender&) = delete;

    // Starts the thread; false when the system refuses one.
    bool Start();
    // Any thread: makes the thread look at the context's flags again.
    void Wake();
    // Waits for the thread to end; the context's stopping flag must be set.
    void Join();

private:
    using Clock = std::chrono::steady_clock;

    // One local address and its broadcast socket. Thread-owned.
    struct Adapter
    {
        LocalInterface link;
        UdpSocket socket;
        bool bound = false;         // to link.addr; otherwise the system picks the source
        int openError = 0;          // error of the last failed set-up, once printed
        std::uint32_t counter = 1;  // the next probe's number; wraps rather than overflows
        Clock::time_point due{};
    };

    void Run();
    void Follow(std::vector<LocalInterface> links, Clock::time_point now);
    void Open(Adapter& adapter);
    void Send(Adapter& adapter);
    // Unicast probes due now, unless paused; a new search restarts sweeps.
    void ProbeTargets(Clock::time_point now);
    int SendUnicast(std::uint32_t address);

    EngineContext& m_context;
    std::unique_ptr<AddressWatch> m_watch;
    PollWaker m_wake;
    std::vector<LocalInterface> m_initialLinks;
    std::vector<Adapter> m_adapters;
    // Unicast: one unbound socket, so that the kernel picks the source
    // address that routes to each target, and one counter for all of them.
    UdpSocket m_unicast;
    int m_unicastOpenError = 0;
    std::uint32_t m_unicastCounter = 1;
    unsigned m_search = 0;  // the search the sweeps belong to
    std::thread m_thread;
};
