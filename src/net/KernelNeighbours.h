#pragma once

#include "net/MacAddress.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>

// The operating system's side of NeighbourTable: the kernel's IPv4 neighbour
// (ARP) table, and a way to make the kernel resolve one address. On Linux the
// table is /proc/net/arp of the calling thread's network namespace; on
// Windows GetIpNetTable2. Not thread-safe: NeighbourTable serialises calls.
class KernelNeighbours final
{
public:
    KernelNeighbours();
    ~KernelNeighbours();
    KernelNeighbours(const KernelNeighbours&) = delete;
    KernelNeighbours& operator=(const KernelNeighbours&) = delete;

    // Complete entries only, keyed by address in network byte order; empty
    // when the table cannot be read.
    std::unordered_map<std::uint32_t, MacAddress> Read() const;

    // Makes the kernel ask for `address` (network byte order) the way it does
    // before sending to an on-link host: a zero-length datagram to its discard
    // port. Returns at once; an answer shows up in a later Read.
    void Ask(std::uint32_t address);

    // Parses /proc/net/arp text: complete entries only (no incomplete, no
    // all-zero addresses). Exposed for tests; Linux only.
    static std::unordered_map<std::uint32_t, MacAddress> ParseArpTable(std::string_view text);

private:
    // The socket Ask sends from, made on first use: an int descriptor on
    // POSIX, a SOCKET on Windows; -1 (INVALID_SOCKET) when there is none.
    std::intptr_t m_socket = -1;
};
