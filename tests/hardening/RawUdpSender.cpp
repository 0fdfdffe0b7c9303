#include "RawUdpSender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::size_t kHeaders = sizeof(iphdr) + sizeof(udphdr);
constexpr std::size_t kLargestPayload = 65535 - kHeaders;
}  // namespace

RawUdpSender::RawUdpSender()
    : m_fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW))  // IPPROTO_RAW implies IP_HDRINCL
{
    if (m_fd >= 0) {
        const int bytes = 8 * 1024 * 1024;
        (void)::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes);
    }
}

RawUdpSender::~RawUdpSender()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawUdpSender::Send(std::uint32_t source, std::uint16_t sourcePort, std::uint32_t destination,
                        std::uint16_t destinationPort, std::string_view payload)
{
    if (m_fd < 0 || payload.size() > kLargestPayload)
        return false;
    std::vector<char> packet(kHeaders + payload.size());
    iphdr ip{};
    ip.version = 4;
    ip.ihl = 5;
    ip.ttl = 64;
    ip.protocol = IPPROTO_UDP;
    ip.tot_len = htons(static_cast<std::uint16_t>(packet.size()));  // the kernel fills id and checksum
    ip.saddr = htonl(source);
    ip.daddr = htonl(destination);
    udphdr udp{};
    udp.source = htons(sourcePort);
    udp.dest = htons(destinationPort);
    udp.len = htons(static_cast<std::uint16_t>(sizeof(udphdr) + payload.size()));
    udp.check = 0;  // none: allowed for UDP over IPv4
    std::memcpy(packet.data(), &ip, sizeof ip);
    std::memcpy(packet.data() + sizeof ip, &udp, sizeof udp);
    if (!payload.empty())
        std::memcpy(packet.data() + kHeaders, payload.data(), payload.size());
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(destination);
    for (;;) {
        const ssize_t n =
            ::sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (n == static_cast<ssize_t>(packet.size()))
            return true;
        if (n < 0 && errno == ENOBUFS) {
            ::usleep(1000);  // the queue to loopback is full for a moment
            continue;
        }
        return false;
    }
}

std::uint32_t RawUdpSender::Address(const std::string& dotted)
{
    in_addr a{};
    return ::inet_pton(AF_INET, dotted.c_str(), &a) == 1 ? ntohl(a.s_addr) : 0;
}

std::string RawUdpSender::Dotted(std::uint32_t address)
{
    in_addr a{};
    a.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &a, text, sizeof text) ? text : "";
}
