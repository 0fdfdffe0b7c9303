#include "net/KernelNeighbours.h"

#include "net/ProcFields.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr unsigned kCompleteFlag = 0x2;  // ATF_COM
constexpr std::uint16_t kDiscardPort = 9;

std::string ReadWholeFile(const char* path)
{
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[16384];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

std::optional<MacAddress> ParseMac(std::string_view text)
{
    unsigned b[6];
    char tail = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &tail) != 6)
        return std::nullopt;
    MacAddress mac;
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(b[i]);
    return mac;
}

}  // namespace

std::unordered_map<std::uint32_t, MacAddress> KernelNeighbours::ParseArpTable(std::string_view text)
{
    // "IP address  HW type  Flags  HW address  Mask  Device", one header line.
    std::unordered_map<std::uint32_t, MacAddress> table;
    bool header = true;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        const std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (std::exchange(header, false))
            continue;
        const auto words = ProcFields(line);
        if (words.size() < 4)
            continue;
        in_addr addr{};
        if (inet_pton(AF_INET, std::string(words[0]).c_str(), &addr) != 1)
            continue;
        const unsigned long flags = std::strtoul(std::string(words[2]).c_str(), nullptr, 16);
        const auto mac = ParseMac(words[3]);
        if (!(flags & kCompleteFlag) || !mac || *mac == MacAddress{})
            continue;
        table[addr.s_addr] = *mac;
    }
    return table;
}

KernelNeighbours::KernelNeighbours() = default;

KernelNeighbours::~KernelNeighbours()
{
    if (m_socket >= 0)
        close(static_cast<int>(m_socket));
}

std::unordered_map<std::uint32_t, MacAddress> KernelNeighbours::Read() const
{
    return KernelNeighbours::ParseArpTable(ReadWholeFile("/proc/net/arp"));
}

void KernelNeighbours::Ask(std::uint32_t address)
{
    // An empty datagram to the discard port: the kernel must resolve the
    // next hop to send it, and an on-link host is its own next hop.
    if (m_socket < 0)
        m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
    if (m_socket < 0)
        return;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = address;
    // Failure only means no entry will appear; the wait then finds nothing.
    (void)sendto(static_cast<int>(m_socket), "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}
