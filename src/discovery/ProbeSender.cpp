#include "discovery/ProbeSender.h"

#include "discovery/EngineContext.h"
#include "discovery/ServerRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

using Kind = DiagnosticOutput::Kind;

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
    Join();
    for (Adapter& a : m_adapters)
        Close(a);
    if (m_unicastFd >= 0)
        close(m_unicastFd);
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

void ProbeSender::Close(Adapter& adapter)
{
    if (adapter.fd >= 0)
        close(adapter.fd);
    adapter.fd = -1;
}

void ProbeSender::Open(Adapter& a)
{
    const char* ip = a.link.address.c_str();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        // Said once per cause; the next round tries again.
        const int error = errno;
        if (std::exchange(a.openError, error) != error)
            m_context.Print(Kind::kError, "socket create failed. ip=[%s] errno=[%d] ", ip, error);
        return;
    }
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        const int error = errno;
        close(fd);
        if (std::exchange(a.openError, error) != error)
            m_context.Print(Kind::kError, "setsockopt failed. ip=[%s] errno=[%d]", ip, error);
        return;
    }
    a.openError = 0;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = a.link.addr;
    a.bound = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    if (!a.bound)
        m_context.Print(Kind::kError, "bind failed.ip=[%s] errno=[%d]\n", ip, errno);  // the system picks the source
    a.fd = fd;
}

void ProbeSender::Send(Adapter& a)
{
    if (a.fd < 0)
        Open(a);
    if (a.fd < 0) {
        m_context.CountProbe(a.link.index, a.link.addr, a.openError);
        return;
    }
    const std::string payload = ProbePayload(static_cast<std::int32_t>(a.counter++));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_context.options.probePort);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    // Pin the outgoing interface as well as the source address: a broadcast
    // must leave through the link it serves, never a VPN or the default route.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<char*>(payload.data()), payload.size()};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (a.link.index != 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(a.link.index);
        info.ipi_spec_dst.s_addr = a.bound ? a.link.addr : 0;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    // A probe the network refuses is lost; the next one follows. Never
    // block the thread on a full send buffer.
    const bool sent = sendmsg(a.fd, &msg, MSG_DONTWAIT) >= 0;
    m_context.CountProbe(a.link.index, a.link.addr, sent ? 0 : errno);
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
            old->fd = -1;
            next.back().link = std::move(link);
        } else {
            Adapter a;
            a.link = std::move(link);
            a.due = now;
            Open(a);
            next.push_back(std::move(a));
        }
    }
    for (Adapter& gone : m_adapters)
        Close(gone);
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
    if (m_unicastFd < 0) {
        m_unicastFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
        if (m_unicastFd < 0) {
            const int error = errno;
            if (std::exchange(m_unicastOpenError, error) != error)
                m_context.Print(Kind::kError, "socket create failed. ip=[%s] errno=[%d] ", "0.0.0.0", error);
            return error;
        }
        m_unicastOpenError = 0;
    }
    const std::string payload = ProbePayload(static_cast<std::int32_t>(m_unicastCounter++));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_context.options.probePort);
    to.sin_addr.s_addr = htonl(address);
    const ssize_t sent =
        sendto(m_unicastFd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent >= 0 ? 0 : errno;
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
        m_wake.Wait(fds, WakeEvent::TimeoutUntil(next));
        const bool changed = watching ? (fds[0].revents & POLLIN) && m_watch->Drain() : Clock::now() >= rescanAt;
        if (changed && !m_context.stopping.load()) {
            Follow(ListLocalInterfaces(m_context.options.interfaces), Clock::now());
            rescanAt = Clock::now() + interval;
        }
    }
}
