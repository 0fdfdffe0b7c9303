#include "discovery/DiscoveryEngine.h"

#include "discovery/LocalInterface.h"
#include "discovery/NeighbourTable.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// Everything the threads touch. Each thread holds a shared_ptr to it and
// never lets go, so it outlives the engine object and is never destroyed
// while a thread runs (not even by static destruction at exit).
struct DiscoveryShared
{
    explicit DiscoveryShared(DiscoveryOptions o)
        : options(std::move(o))
    {
    }

    const DiscoveryOptions options;
    std::shared_ptr<ServerQueue> queue;  // set before any thread starts
    std::atomic<bool> paused{false};
    std::atomic<bool> started{false};
    std::unique_ptr<NeighbourTable> neighbours;  // set before any thread starts

    mutable std::mutex mutex;  // guards the listener bookkeeping below
    mutable std::condition_variable changed;
    int listenersPending = 0;
    int listenersFailed = 0;
    int lastError = 0;
    bool listening = false;
    bool noAddresses = false;

    void Print(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void WaitForListenerOutcome(std::chrono::milliseconds timeout) const;
};

namespace {

constexpr std::size_t kReceiveBufferSize = 2048;  // a reply is at most 2047 bytes
constexpr auto kPausePoll = std::chrono::milliseconds(100);
constexpr auto kReceiveErrorPause = std::chrono::milliseconds(100);
constexpr int kPriorityDrop = 10;  // nice steps below the process
constexpr auto kFirstProbeWait = std::chrono::milliseconds(200);

void WriteToStandardOutput(std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// Lowers the calling thread only: on Linux a thread id is a process id for
// setpriority. Failing leaves it at normal priority, which is harmless.
void LowerThreadPriority()
{
    const pid_t tid = gettid();
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0)
        return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(19, current + kPriorityDrop));
}

void ListenerFinished(DiscoveryShared& shared, bool bound, int error)
{
    {
        std::lock_guard lock(shared.mutex);
        --shared.listenersPending;
        if (bound) {
            shared.listening = true;
        } else {
            ++shared.listenersFailed;
            shared.lastError = error;
        }
    }
    shared.changed.notify_all();
}

void SendProbe(int fd, const LocalInterface& link, bool bound, const sockaddr_in& to, const std::string& payload)
{
    // Pin the outgoing interface as well as the source address: a broadcast
    // must leave through the link it serves, never a VPN or the default route.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<char*>(payload.data()), payload.size()};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&to);
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (link.index != 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(link.index);
        info.ipi_spec_dst.s_addr = bound ? link.addr : 0;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    // A probe the network refuses is simply lost; the next one follows.
    (void)sendmsg(fd, &msg, 0);
}

// `link` is the thread's own copy, taken when it was created.
void ProbeThread(std::shared_ptr<const DiscoveryShared> shared, LocalInterface link)
{
    LowerThreadPriority();
    const char* ip = link.address.c_str();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        shared->Print("socket create failed. ip=[%s] errno=[%d] ", ip, errno);
        return;
    }
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        shared->Print("setsockopt failed. ip=[%s] errno=[%d]", ip, errno);
        close(fd);
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = link.addr;
    bool bound = true;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        shared->Print("bind failed.ip=[%s] errno=[%d]\n", ip, errno);
        bound = false;  // the system picks the source address at each send
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(shared->options.probePort);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    // Replies to a probe come back within a millisecond on a LAN: the first
    // probe waits (briefly) for the listener, or they would all be refused.
    shared->WaitForListenerOutcome(kFirstProbeWait);

    // Counted unsigned so that it wraps rather than overflows; sent as %d.
    for (std::uint32_t counter = 1;; ++counter) {
        const std::string payload = ProbePayload(static_cast<std::int32_t>(counter));
        SendProbe(fd, link, bound, to, payload);
        shared->Print("%s\n", payload.c_str());
        std::this_thread::sleep_for(shared->options.probeInterval);
    }
}

void SetGenerousReceiveBuffer(int fd, int bytes)
{
    // SO_RCVBUFFORCE passes net.core.rmem_max when privileged; otherwise the
    // kernel caps SO_RCVBUF there, which is still the best we can get.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        (void)setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

void Report(const DiscoveryShared& shared, ServerRecord record)
{
    ServerSighting sighting;
    sighting.record = std::move(record);
    sighting.heardAt = std::chrono::steady_clock::now();
    shared.queue->Push(std::move(sighting));
}

void ListenerThread(std::shared_ptr<DiscoveryShared> shared)
{
    LowerThreadPriority();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        const int error = errno;
        shared->Print("error! error code is %d\n", error);
        ListenerFinished(*shared, false, error);
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(shared->options.listenPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    // No address reuse: one listener per host owns the port.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        shared->Print("error! error code is %d\n", error);
        close(fd);
        ListenerFinished(*shared, false, error);
        return;
    }
    SetGenerousReceiveBuffer(fd, shared->options.receiveBufferBytes);
    ListenerFinished(*shared, true, 0);

    char buffer[kReceiveBufferSize];
    for (;;) {
        while (shared->paused.load())
            std::this_thread::sleep_for(kPausePoll);
        shared->Print("Receiving datagrams...\n");
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        // MSG_TRUNC: the datagram's real length even when it did not fit.
        const ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) {
            shared->Print("recvfrom failed with error %d\n", errno);
            std::this_thread::sleep_for(kReceiveErrorPause);  // no busy loop on a broken socket
            continue;
        }
        // Nothing stale, nothing cut: an empty or oversized datagram is no reply.
        if (n == 0 || static_cast<std::size_t>(n) >= sizeof buffer || from.sin_family != AF_INET)
            continue;
        if (shared->paused.load() || from.sin_addr.s_addr == htonl(INADDR_ANY))
            continue;
        char sender[INET_ADDRSTRLEN] = {};
        if (!inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender))
            continue;
        const std::optional<MacAddress> mac = shared->neighbours->Lookup(from.sin_addr.s_addr);
        ServerRecord record = ParseReply(std::string_view(buffer, static_cast<std::size_t>(n)), sender, mac);
        // The lookup may have waited: Stop during it still means nothing more.
        if (shared->paused.load())
            continue;
        Report(*shared, std::move(record));
    }
}

}  // namespace

void DiscoveryShared::Print(const char* format, ...) const
{
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0)
        return;
    const std::string_view text(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
    if (options.diagnostics)
        options.diagnostics(text);
    else
        WriteToStandardOutput(text);
}

void DiscoveryShared::WaitForListenerOutcome(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex);
    changed.wait_for(lock, timeout, [&] { return listening || listenersPending == 0; });
}

DiscoveryEngine::DiscoveryEngine()
    : DiscoveryEngine(DiscoveryOptions{})
{
}

DiscoveryEngine::DiscoveryEngine(DiscoveryOptions options)
    : m_shared(std::make_shared<DiscoveryShared>(std::move(options)))
{
}

DiscoveryEngine::~DiscoveryEngine()
{
    Stop();
}

void DiscoveryEngine::Stop()
{
    // The threads go on until the process ends; they hand nothing more over.
    if (m_shared->started.load())
        m_shared->queue->SetAccepting(false);
}

void DiscoveryEngine::Start(std::shared_ptr<ServerQueue> queue)
{
    if (!queue || m_shared->started.exchange(true))
        return;
    queue->SetAccepting(!m_shared->paused.load());
    m_shared->queue = std::move(queue);

    const std::vector<LocalInterface> links = ListLocalInterfaces(m_shared->options.interfaces);
    m_shared->neighbours = std::make_unique<NeighbourTable>(links);
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->listenersPending = static_cast<int>(links.size());
        m_shared->noAddresses = links.empty();
    }
    for (const LocalInterface& link : links) {
        // A thread that cannot be created is left out, as nothing could run it.
        try {
            std::thread(ProbeThread, std::shared_ptr<const DiscoveryShared>(m_shared), link).detach();
        } catch (const std::system_error&) {
        }
        try {
            std::thread(ListenerThread, m_shared).detach();
        } catch (const std::system_error&) {
            ListenerFinished(*m_shared, false, EAGAIN);
        }
    }
}

void DiscoveryEngine::SetPaused(bool paused)
{
    m_shared->paused.store(paused);
    if (m_shared->started.load())
        m_shared->queue->SetAccepting(!paused);
}

bool DiscoveryEngine::IsPaused() const
{
    return m_shared->paused.load();
}

ListenerState DiscoveryEngine::WaitForListener(std::chrono::milliseconds timeout) const
{
    using Status = ListenerState::Status;
    DiscoveryShared& shared = *m_shared;
    std::unique_lock lock(shared.mutex);
    if (!shared.started.load())
        return {Status::kNotStarted, 0};
    if (shared.noAddresses)
        return {Status::kNoAddresses, 0};
    shared.changed.wait_for(lock, timeout, [&] { return shared.listening || shared.listenersPending == 0; });
    if (shared.listening)
        return {Status::kListening, 0};
    if (shared.listenersPending == 0)
        return {Status::kBindFailed, shared.lastError};
    return {Status::kStarting, 0};
}
