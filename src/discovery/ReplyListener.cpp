#include "discovery/ReplyListener.h"

#include "discovery/EngineContext.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"
#include "net/ThreadPriority.h"
#include "net/UdpSocket.h"

#include <system_error>
#include <utility>

namespace {

using Kind = EngineLog::Kind;
using State = ListenerStatus::State;

constexpr std::size_t kReceiveBufferSize = 2048;  // a reply is at most 2047 bytes
constexpr int kReceiveErrorPauseMs = 100;         // no busy loop on a broken socket

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

int ReplyListener::OpenSocket(UdpSocket& socket) const
{
    if (const int error = socket.Open(true))
        return error;
    // No address reuse: one listener per host owns the port.
    if (const int error = socket.Bind(htonl(INADDR_ANY), m_context.options.listenPort)) {
        socket.Close();
        return error;
    }
    // Without the arrival interface a sighting just says "unknown" (0).
    (void)socket.ReceiveArrivals();
    socket.SetReceiveBuffer(m_context.options.receiveBufferBytes);
    return 0;
}

void ReplyListener::Run()
{
    LowerCallingThreadPriority();
    int reported = 0;  // the failure last printed: said once, not once per retry
    while (!m_context.stopping.load()) {
        UdpSocket socket;
        const int error = OpenSocket(socket);
        if (error == 0) {
            m_context.SetListener(State::kListening, 0);
            Receive(socket);  // until Stop
            return;
        }
        if (std::exchange(reported, error) != error)
            m_context.Print(Kind::kError, "error! error code is %d\n", error);
        m_context.SetListener(UdpSocket::IsAddressInUse(error) ? State::kPortInUse : State::kFailed, error);
        // Another program may let the port go, or the shortage pass: try again.
        const auto retryAt = std::chrono::steady_clock::now() + m_context.options.bindRetry;
        while (!m_context.stopping.load() && std::chrono::steady_clock::now() < retryAt)
            m_wake.Wait(PollWaker::TimeoutUntil(retryAt));
    }
}

void ReplyListener::Receive(UdpSocket& socket)
{
    char buffer[kReceiveBufferSize];
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
        UdpSocket::Datagram datagram;
        int error = 0;
        switch (socket.Receive(buffer, sizeof buffer, datagram, error)) {
        case UdpSocket::Received::kNothing: {
            std::vector<pollfd> fds{{socket.Handle(), POLLIN, 0}};
            m_wake.Wait(fds, -1);
            continue;
        }
        case UdpSocket::Received::kInterrupted: continue;
        case UdpSocket::Received::kFailed:
            m_context.Print(Kind::kError, "recvfrom failed with error %d\n", error);
            announced = false;
            m_wake.Wait(kReceiveErrorPauseMs);
            continue;
        case UdpSocket::Received::kDatagram: break;
        }
        announced = false;
        Handle(buffer, datagram.size, datagram.from, datagram.ifindex, datagram.local);
    }
}

void ReplyListener::Handle(const char* data, std::size_t size, const sockaddr_in& from, unsigned ifindex,
                           std::uint32_t local)
{
    // Nothing stale, nothing cut: an empty or oversized datagram is no reply.
    if (size == 0 || size >= kReceiveBufferSize || from.sin_family != AF_INET)
        return;
    if (m_context.paused.load() || from.sin_addr.s_addr == htonl(INADDR_ANY))
        return;
    char sender[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender))
        return;
    const std::optional<MacAddress> mac = m_context.neighbours.Lookup(from.sin_addr.s_addr);
    ServerSighting sighting;
    sighting.record = ParseReply(std::string_view(data, size), sender, mac);
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
