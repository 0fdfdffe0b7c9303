#include "net/UdpSocket.h"

#include "net/LoopbackSignal_win.h"

#include <cstring>
#include <mswsock.h>

// Windows Sockets differ from BSD sockets where it matters here:
// - sockets are inherited by child processes unless told otherwise, and a
//   browser started from the window could keep port 6000 after we end:
//   WSA_FLAG_NO_HANDLE_INHERIT;
// - without SO_EXCLUSIVEADDRUSE another program may bind our port with
//   SO_REUSEADDR and take our replies;
// - a UDP socket reports an ICMP "port unreachable" for an earlier send as
//   WSAECONNRESET on a later receive: SIO_UDP_CONNRESET off;
// - IP_PKTINFO cannot pin a send (and IP_UNICAST_IF fails under Wine): a
//   broadcast leaves through the adapter of the address the socket is bound
//   to, which is how the probes are sent anyway;
// - arrivals come with WSARecvMsg, found through WSAIoctl.

namespace {

#ifndef SIO_UDP_CONNRESET
constexpr DWORD SIO_UDP_CONNRESET = _WSAIOW(IOC_VENDOR, 12);
#endif

LPFN_WSARECVMSG RecvMsgFunction(SOCKET s)
{
    // One provider serves every IPv4 UDP socket: the function found for the
    // first serves them all.
    static LPFN_WSARECVMSG function = [s] {
        LPFN_WSARECVMSG found = nullptr;
        GUID guid = WSAID_WSARECVMSG;
        DWORD bytes = 0;
        if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &guid, sizeof guid, &found, sizeof found, &bytes, nullptr,
                     nullptr) != 0)
            return LPFN_WSARECVMSG{};
        return found;
    }();
    return function;
}

}  // namespace

int UdpSocket::Open(bool nonBlocking)
{
    Close();
    if (!StartWindowsSockets())
        return WSASYSNOTREADY;
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return WSAGetLastError();
    u_long on = nonBlocking ? 1 : 0;
    if (nonBlocking && ioctlsocket(s, FIONBIO, &on) != 0) {
        const int error = WSAGetLastError();
        closesocket(s);
        return error;
    }
    BOOL report = FALSE;
    DWORD bytes = 0;
    (void)WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &bytes, nullptr, nullptr);
    m_handle = s;
    return 0;
}

void UdpSocket::Close()
{
    if (m_handle != kNoSocket)
        closesocket(m_handle);
    m_handle = kNoSocket;
}

int UdpSocket::EnableBroadcast()
{
    const BOOL on = TRUE;
    return setsockopt(m_handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0
               ? 0
               : WSAGetLastError();
}

int UdpSocket::Bind(std::uint32_t address, std::uint16_t port)
{
    const BOOL on = TRUE;
    if (setsockopt(m_handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return WSAGetLastError();
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address;
    return bind(m_handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : WSAGetLastError();
}

int UdpSocket::ReceiveArrivals()
{
    const DWORD on = 1;
    if (setsockopt(m_handle, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return WSAGetLastError();
    return RecvMsgFunction(m_handle) ? 0 : WSAEOPNOTSUPP;
}

void UdpSocket::SetReceiveBuffer(int bytes)
{
    (void)setsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
}

int UdpSocket::SendTo(std::string_view data, std::uint32_t address, std::uint16_t port, unsigned, std::uint32_t)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    const int n = sendto(m_handle, data.data(), static_cast<int>(data.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n == SOCKET_ERROR)
        return WSAGetLastError();
    return static_cast<std::size_t>(n) == data.size() ? 0 : WSAEMSGSIZE;
}

UdpSocket::Received UdpSocket::Receive(char* buffer, std::size_t size, Datagram& datagram, int& error)
{
    datagram = {};
    const LPFN_WSARECVMSG recvMsg = RecvMsgFunction(m_handle);
    WSABUF data{static_cast<ULONG>(size), buffer};
    DWORD received = 0;
    int result = 0;
    bool truncated = false;
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG msg{};
    if (recvMsg) {
        msg.name = reinterpret_cast<sockaddr*>(&datagram.from);
        msg.namelen = sizeof datagram.from;
        msg.lpBuffers = &data;
        msg.dwBufferCount = 1;
        msg.Control = {sizeof control, control};
        result = recvMsg(m_handle, &msg, &received, nullptr, nullptr);
        truncated = result == 0 && (msg.dwFlags & MSG_TRUNC);
    } else {
        int fromLength = sizeof datagram.from;
        result = recvfrom(m_handle, buffer, static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&datagram.from),
                          &fromLength);
        received = result == SOCKET_ERROR ? 0 : static_cast<DWORD>(result);
        result = result == SOCKET_ERROR ? SOCKET_ERROR : 0;
    }
    if (result == SOCKET_ERROR) {
        error = WSAGetLastError();
        switch (error) {
        case WSAEWOULDBLOCK: return Received::kNothing;
        // Cut to the buffer: longer than any reply, so it is said to be.
        case WSAEMSGSIZE: truncated = true; break;
        // An ICMP error for an earlier send, or a signal: nothing lost.
        case WSAECONNRESET:
        case WSAEINTR: return Received::kInterrupted;
        default: return Received::kFailed;
        }
    }
    // The real length of a cut datagram is not known here: more than fits.
    datagram.size = truncated ? size + 1 : received;
    if (recvMsg) {
        for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&msg); c; c = WSA_CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO)
                continue;
            IN_PKTINFO info{};
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            datagram.ifindex = info.ipi_ifindex;
            // Windows says only where it was sent: for a broadcast that is
            // no address of ours, and the interface alone must do.
            const std::uint32_t to = ntohl(info.ipi_addr.s_addr);
            const bool unicast = to != INADDR_BROADCAST && !IN_MULTICAST(to) && to != INADDR_ANY;
            datagram.local = unicast ? info.ipi_addr.s_addr : 0;
        }
    }
    return Received::kDatagram;
}

bool UdpSocket::IsAddressInUse(int error)
{
    // WSAEACCES: another socket holds the port with SO_EXCLUSIVEADDRUSE.
    return error == WSAEADDRINUSE || error == WSAEACCES;
}
