#include "discovery/ReplyListener.h"

#include "discovery/EngineContext.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

using Kind = DiagnosticOutput::Kind;
using State = ListenerStatus::State;

constexpr std::size_t kReceiveBufferSize = 2048;  // a reply is at most 2047 bytes
constexpr int kReceiveErrorPauseMs = 100;         // no busy loop on a broken socket

void SetGenerousReceiveBuffer(int fd, int bytes)
{
    // SO_RCVBUFFORCE passes net.core.rmem_max when privileged; otherwise the
    // kernel caps SO_RCVBUF there, which is still the best we can get.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// Where a datagram came in: the interface, and our address it was sent to
// (the interface's own address when it was a broadcast).
struct Arrival
{
    unsigned ifindex = 0;
    std::uint32_t local = 0;
};

Arrival ArrivalOf(msghdr& msg)
{
    Arrival arrival;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        arrival.ifindex = static_cast<unsigned>(info.ipi_ifindex);
        const std::uint32_t to = ntohl(info.ipi_addr.s_addr);
        const bool unicast = to != INADDR_BROADCAST && !IN_MULTICAST(to) && to != INADDR_ANY;
        arrival.local = unicast ? info.ipi_addr.s_addr : info.ipi_spec_dst.s_addr;
    }
    return arrival;
}

}  // namespace

ReplyListener::ReplyListener(EngineContext& context)
    : m_context(context)
{
}

ReplyListener::~ReplyListener()
{
    Join();
}

bool ReplyListener::Start()
{
    try {
        m_thread = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void ReplyListener::Wake()
{
    m_wake.Notify();
}

void ReplyListener::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

int ReplyListener::OpenSocket(int& error) const
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_context.options.listenPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    // No address reuse: one listener per host owns the port.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = errno;
        close(fd);
        return -1;
    }
    // Without the arrival interface a sighting just says "unknown" (0).
    const int on = 1;
    (void)setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    SetGenerousReceiveBuffer(fd, m_context.options.receiveBufferBytes);
    return fd;
}

void ReplyListener::Run()
{
    LowerCallingThreadPriority();
    int reported = 0;  // the failure last printed: said once, not once per retry
    while (!m_context.stopping.load()) {
        int error = 0;
        const int fd = OpenSocket(error);
        if (fd >= 0) {
            m_context.SetListener(State::kListening, 0);
            Receive(fd);  // until Stop
            close(fd);
            return;
        }
        if (std::exchange(reported, error) != error)
            m_context.Print(Kind::kError, "error! error code is %d\n", error);
        m_context.SetListener(error == EADDRINUSE ? State::kPortInUse : State::kFailed, error);
        // Another program may let the port go, or the shortage pass: try again.
        const auto retryAt = std::chrono::steady_clock::now() + m_context.options.bindRetry;
        while (!m_context.stopping.load() && std::chrono::steady_clock::now() < retryAt)
            m_wake.Wait(WakeEvent::TimeoutUntil(retryAt));
    }
}

void ReplyListener::Receive(int fd)
{
    char buffer[kReceiveBufferSize];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    bool announced = false;  // "Receiving datagrams..." said for the receive ahead
    while (!m_context.stopping.load()) {
        if (m_context.paused.load()) {
            m_wake.Wait(-1);
            continue;
        }
        if (!announced) {
            m_context.Print(Kind::kProgress, "Receiving datagrams...\n");
            announced = true;
        }
        sockaddr_in from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        // MSG_TRUNC: the datagram's real length even when it did not fit.
        const ssize_t n = recvmsg(fd, &msg, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                std::vector<pollfd> fds{{fd, POLLIN, 0}};
                m_wake.Wait(fds, -1);
            } else if (errno != EINTR) {
                m_context.Print(Kind::kError, "recvfrom failed with error %d\n", errno);
                announced = false;
                m_wake.Wait(kReceiveErrorPauseMs);
            }
            continue;
        }
        announced = false;
        const Arrival arrival = ArrivalOf(msg);
        Handle(buffer, n, from, arrival.ifindex, arrival.local);
    }
}

void ReplyListener::Handle(const char* data, ssize_t size, const sockaddr_in& from, unsigned ifindex,
                           std::uint32_t local)
{
    // Nothing stale, nothing cut: an empty or oversized datagram is no reply.
    if (size <= 0 || static_cast<std::size_t>(size) >= kReceiveBufferSize || from.sin_family != AF_INET)
        return;
    if (m_context.paused.load() || from.sin_addr.s_addr == htonl(INADDR_ANY))
        return;
    char sender[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender))
        return;
    const std::optional<MacAddress> mac = m_context.neighbours.Lookup(from.sin_addr.s_addr);
    ServerSighting sighting;
    sighting.record = ParseReply(std::string_view(data, static_cast<std::size_t>(size)), sender, mac);
    // The lookup may have waited: Stop during it still means nothing more.
    if (m_context.paused.load())
        return;
    sighting.heardAt = std::chrono::steady_clock::now();
    sighting.interfaceIndex = ifindex;
    sighting.localAddress = local;
    m_context.CountReply(ifindex, local);
    m_context.queue->Push(std::move(sighting));
    m_context.unicast.NoteReply(ntohl(from.sin_addr.s_addr));
}
