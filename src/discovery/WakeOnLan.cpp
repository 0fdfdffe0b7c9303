#include "discovery/WakeOnLan.h"

#include "base/ErrorText.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Closes the socket on every way out.
class Socket
{
public:
    Socket()
        : m_fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP))
    {
    }
    ~Socket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

WakeResult Failed(std::string line)
{
    return {false, std::move(line)};
}

}  // namespace

MagicPacket BuildMagicPacket(const MacAddress& mac)
{
    MagicPacket packet{};
    for (std::size_t i = 0; i < 6; ++i)
        packet[i] = 0xFF;
    for (std::size_t k = 0; k < 16; ++k)
        for (std::size_t i = 0; i < 6; ++i)
            packet[6 + k * 6 + i] = mac[i];
    return packet;
}

std::optional<MacAddress> ParseMacText(std::string_view text, std::string& error)
{
    MacAddress mac{};
    bool ok = text.size() == 17;
    for (std::size_t i = 0; ok && i < 6; ++i) {
        const int high = HexDigit(text[i * 3]);
        const int low = HexDigit(text[i * 3 + 1]);
        ok = high >= 0 && low >= 0 && (i == 5 || text[i * 3 + 2] == '-');
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    if (!ok) {
        error = "not a hardware address: \"" + std::string(text.substr(0, 40)) +
                "\" (expected six hex pairs joined by hyphens, like 00-11-32-AB-CD-EF)";
        return std::nullopt;
    }
    if (mac == MacAddress{}) {
        error = "00-00-00-00-00-00 is no device's hardware address";
        return std::nullopt;
    }
    if (mac[0] & 0x01) {
        error = std::string(text) + " is a group (multicast or broadcast) address, not a device's";
        return std::nullopt;
    }
    return mac;
}

WakeResult SendWakeOnLan(std::string_view macText, const WakeVia& via, std::uint16_t port)
{
    std::string error;
    const std::optional<MacAddress> mac = ParseMacText(macText, error);
    if (!mac)
        return Failed(error);
    in_addr local{};
    if (!via.localAddress.empty() && inet_pton(AF_INET, via.localAddress.c_str(), &local) != 1)
        return Failed("not an IPv4 address: \"" + via.localAddress.substr(0, 40) + "\"");

    const Socket s;
    if (s.Fd() < 0)
        return Failed("cannot open a UDP socket: " + ErrorText(errno));
    const int on = 1;
    if (setsockopt(s.Fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return Failed("cannot allow broadcasts: " + ErrorText(errno));
    if (!via.localAddress.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr = local;
        if (bind(s.Fd(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0)
            return Failed("cannot send from " + via.localAddress + ": " + ErrorText(errno));
    }

    const MagicPacket packet = BuildMagicPacket(*mac);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    iovec iov{const_cast<std::uint8_t*>(packet.data()), packet.size()};
    msghdr msg{};
    msg.msg_name = &to;
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    // A broadcast leaves through the adapter the server was heard on, never
    // the default route's.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (via.interfaceIndex != 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = IPPROTO_IP;
        c->cmsg_type = IP_PKTINFO;
        c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(via.interfaceIndex);
        info.ipi_spec_dst = local;
        std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
    const ssize_t n = sendmsg(s.Fd(), &msg, 0);
    if (n < 0)
        return Failed("cannot send the wake-up packet: " + ErrorText(errno));
    if (static_cast<std::size_t>(n) != packet.size())
        return Failed("the wake-up packet went out cut short");
    return {true, {}};
}
