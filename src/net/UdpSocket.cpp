#include "net/UdpSocket.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

int UdpSocket::Open(bool nonBlocking)
{
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), IPPROTO_UDP);
    if (fd < 0)
        return errno;
    m_handle = fd;
    return 0;
}

void UdpSocket::Close()
{
    if (m_handle != kNoSocket)
        close(m_handle);
    m_handle = kNoSocket;
}

int UdpSocket::EnableBroadcast()
{
    const int on = 1;
    return setsockopt(m_handle, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : errno;
}

int UdpSocket::Bind(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = address;
    // No address reuse: the port is ours alone.
    return bind(m_handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? 0 : errno;
}

int UdpSocket::ReceiveArrivals()
{
    const int on = 1;
    return setsockopt(m_handle, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0 ? 0 : errno;
}

void UdpSocket::SetReceiveBuffer(int bytes)
{
    // SO_RCVBUFFORCE passes net.core.rmem_max when privileged; otherwise the
    // kernel caps SO_RCVBUF there, which is still the best we can get.
    if (setsockopt(m_handle, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
        (void)setsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

int UdpSocket::SendTo(std::string_view data, std::uint32_t address, std::uint16_t port, unsigned ifindex,
                      std::uint32_t source)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<char*>(data.data()), data.size()};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (ifindex != 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(ifindex);
        info.ipi_spec_dst.s_addr = source;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    const ssize_t n = sendmsg(m_handle, &msg, 0);
    if (n < 0)
        return errno;
    return static_cast<std::size_t>(n) == data.size() ? 0 : EMSGSIZE;
}

UdpSocket::Received UdpSocket::Receive(char* buffer, std::size_t size, Datagram& datagram, int& error)
{
    datagram = {};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    iovec iov{buffer, size};
    msghdr msg{};
    msg.msg_name = &datagram.from;
    msg.msg_namelen = sizeof datagram.from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    // MSG_TRUNC: the datagram's real length even when it did not fit.
    const ssize_t n = recvmsg(m_handle, &msg, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0) {
        error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return Received::kNothing;
        return error == EINTR ? Received::kInterrupted : Received::kFailed;
    }
    datagram.size = static_cast<std::size_t>(n);
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        datagram.ifindex = static_cast<unsigned>(info.ipi_ifindex);
        // A broadcast was sent to no address of ours: the interface's own
        // address (ipi_spec_dst) stands for it.
        const std::uint32_t to = ntohl(info.ipi_addr.s_addr);
        const bool unicast = to != INADDR_BROADCAST && !IN_MULTICAST(to) && to != INADDR_ANY;
        datagram.local = unicast ? info.ipi_addr.s_addr : info.ipi_spec_dst.s_addr;
    }
    return Received::kDatagram;
}

bool UdpSocket::IsAddressInUse(int error)
{
    return error == EADDRINUSE;
}
