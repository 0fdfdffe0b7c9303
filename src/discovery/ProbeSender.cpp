#include "discovery/ProbeSender.h"

#include "discovery/EngineContext.h"
#include "discovery/ServerRecord.h"
#include "net/ThreadPriority.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

using Kind = EngineLog::Kind;

// Replies to a probe come back within a millisecond on a LAN: the first
// probe waits (briefly) for the listener, or they would all be refused.
constexpr auto kFirstProbeWait = std::chrono::milliseconds(200);

// The subnets the broadcasts reach, for the sweeps to leave out.
std::vector<UnicastPlan::Subnet> BroadcastSubnets(const std::vector<LocalInterface>& links)
{
    std::vector<UnicastPlan::Subnet> subnets;
    for (const LocalInterface& l : links) {
        const std::uint32_t address = ntohl(l.addr);
        // No mask known: the address alone.
        const std::uint32_t mask = l.netmask != 0 ? ntohl(l.netmask) : 0xFFFFFFFFu;
        subnets.push_back({address & mask, address | ~mask});
    }
    return subnets;
}

}  // namespace

ProbeSender::ProbeSender(EngineContext& context, std::unique_ptr<AddressWatch> watch, std::vector<LocalInterface> links)
    : m_context(context)
    , m_watch(std::move(watch))
    , m_initialLinks(std::move(links))
{
}

ProbeSender::~ProbeSender()
{
    // The sockets close with their adapters, after the thread.
    Join();
}

bool ProbeSender::Start()
{
    try {
        m_thread = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void ProbeSender::Wake()
{
    m_wake.Notify();
}

void ProbeSender::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void ProbeSender::Open(Adapter& a)
{
    const char* ip = a.link.address.c_str();
    // Non-blocking: a probe the network refuses is lost, the next follows;
    // the thread never waits on a full send buffer.
    if (const int error = a.socket.Open(true)) {
        // Said once per cause; the next round tries again.
        if (std::exchange(a.openError, error) != error)
            m_context.Print(Kind::kError, "socket create failed. ip=[%s] errno=[%d] ", ip, error);
        return;
    }
    if (const int error = a.socket.EnableBroadcast()) {
        a.socket.Close();
        if (std::exchange(a.openError, error) != error)
            m_context.Print(Kind::kError, "setsockopt failed. ip=[%s] errno=[%d]", ip, error);
        return;
    }
    a.openError = 0;
    const int bindError = a.socket.Bind(a.link.addr, 0);
    a.bound = bindError == 0;
    if (!a.bound)
        m_context.Print(Kind::kError, "bind failed.ip=[%s] errno=[%d]\n", ip,
                        bindError);  // the system picks the source
}

void ProbeSender::Send(Adapter& a)
{
    if (!a.socket.IsOpen())
        Open(a);
    if (!a.socket.IsOpen()) {
        m_context.CountProbe(a.link.index, a.link.addr, a.openError);
        return;
    }
    const std::string payload = ProbePayload(static_cast<std::int32_t>(a.counter++));
    // Pin the outgoing interface as well as the source address: a broadcast
    // must leave through the link it serves, never a VPN or the default route.
    const int error = a.socket.SendTo(payload, htonl(INADDR_BROADCAST), m_context.options.probePort, a.link.index,
                                      a.bound ? a.link.addr : 0);
    m_context.CountProbe(a.link.index, a.link.addr, error);
    m_context.Print(Kind::kProgress, "%s\n", payload.c_str());
}

void ProbeSender::Follow(std::vector<LocalInterface> links, Clock::time_point now)
{
    // An address is the same adapter while it stays on the same interface:
    // it keeps its socket and its counter. A new one starts from 1 at once;
    // one that went is closed.
    std::vector<Adapter> next;
    next.reserve(links.size());
    for (LocalInterface& link : links) {
        const auto same = [&](const Adapter& a) { return a.link.addr == link.addr && a.link.index == link.index; };
        const auto old = std::find_if(m_adapters.begin(), m_adapters.end(), same);
        if (old != m_adapters.end()) {
            next.push_back(std::move(*old));
            next.back().link = std::move(link);
        } else {
            Adapter a;
            a.link = std::move(link);
            a.due = now;
            Open(a);
            next.push_back(std::move(a));
        }
    }
    // The sockets of those that went close with them.
    m_adapters = std::move(next);

    std::vector<LocalInterface> current;
    for (const Adapter& a : m_adapters)
        current.push_back(a.link);
    m_context.neighbours.SetLinks(current);
    m_context.SetAdapters(current);
    m_context.unicast.SetBroadcastLinks(BroadcastSubnets(current));
}

int ProbeSender::SendUnicast(std::uint32_t address)
{
    if (!m_unicast.IsOpen()) {
        if (const int error = m_unicast.Open(true)) {
            if (std::exchange(m_unicastOpenError, error) != error)
                m_context.Print(Kind::kError, "socket create failed. ip=[%s] errno=[%d] ", "0.0.0.0", error);
            return error;
        }
        m_unicastOpenError = 0;
    }
    const std::string payload = ProbePayload(static_cast<std::int32_t>(m_unicastCounter++));
    return m_unicast.SendTo(payload, htonl(address), m_context.options.probePort);
}

void ProbeSender::ProbeTargets(Clock::time_point now)
{
    UnicastPlan& plan = m_context.unicast;
    if (m_context.paused.load()) {
        plan.Pause();
        return;
    }
    if (const unsigned search = m_context.searches.load(); search != m_search) {
        m_search = search;
        plan.NewSearch(now);
    }
    const std::vector<std::uint32_t> due = plan.Take(now);
    if (due.empty())
        return;
    std::uint64_t sent = 0;
    std::uint64_t refused = 0;
    int lastError = 0;
    for (const std::uint32_t address : due) {
        // Probing ourselves would find nothing.
        const auto own = [&](const Adapter& a) { return a.link.addr == htonl(address); };
        if (std::any_of(m_adapters.begin(), m_adapters.end(), own))
            continue;
        if (const int error = SendUnicast(address); error == 0) {
            ++sent;
        } else {
            ++refused;
            lastError = error;
        }
    }
    std::lock_guard lock(m_context.mutex);
    m_context.unicastProbesSent += sent;
    m_context.unicastSendErrors += refused;
    if (refused)
        m_context.lastUnicastSendError = lastError;
}

void ProbeSender::Run()
{
    LowerCallingThreadPriority();
    Follow(std::move(m_initialLinks), Clock::now());
    m_context.WaitUntilListenerSettled(kFirstProbeWait);

    const auto interval = m_context.options.probeInterval;
    for (Adapter& a : m_adapters)
        a.due = Clock::now();
    // Without notifications the addresses are read again every interval.
    const bool watching = m_watch && m_watch->IsOpen();
    auto rescanAt = Clock::now() + interval;
    std::vector<pollfd> fds;
    while (!m_context.stopping.load()) {
        auto now = Clock::now();
        auto next = now + std::chrono::seconds(60);
        for (Adapter& a : m_adapters) {
            if (a.due <= now) {
                Send(a);
                now = Clock::now();
                // A fixed rhythm, but no catching up after a stall.
                a.due += interval;
                if (a.due <= now)
                    a.due = now + interval;
            }
            next = std::min(next, a.due);
        }
        if (!watching)
            next = std::min(next, rescanAt);
        ProbeTargets(now);
        next = std::min(next, m_context.unicast.NextDue(Clock::now()));

        fds.clear();
        if (watching)
            fds.push_back({m_watch->Fd(), POLLIN, 0});
        m_wake.Wait(fds, PollWaker::TimeoutUntil(next));
        const bool changed = watching ? (fds[0].revents & POLLIN) && m_watch->Drain() : Clock::now() >= rescanAt;
        if (changed && !m_context.stopping.load()) {
            Follow(ListLocalInterfaces(m_context.options.interfaces), Clock::now());
            rescanAt = Clock::now() + interval;
        }
    }
}
