#include "net/KernelNeighbours.h"

#include "net/NeighbourRows_win.h"

#include <algorithm>

// NOTE: SendARP, ResolveIpNetEntry2 and GetIpNetEntry2 are left alone on
// purpose. SendARP waits until the host answers or the stack gives up, which
// no waiting budget can bound; under Wine 8 it always fails, and the other
// two are unimplemented there and abort the process. Reading the table and
// prompting the stack with a datagram works on both.

namespace {

constexpr std::uint16_t kDiscardPort = 9;

bool IsGroupAddress(const MacAddress& mac)
{
    return (mac[0] & 0x01) != 0;
}

}  // namespace

std::unordered_map<std::uint32_t, MacAddress> CompleteIpv4Entries(const MIB_IPNET_ROW2* rows, std::size_t count)
{
    std::unordered_map<std::uint32_t, MacAddress> table;
    for (std::size_t i = 0; i < count; ++i) {
        const MIB_IPNET_ROW2& row = rows[i];
        if (row.Address.si_family != AF_INET || row.State < NlnsProbe || row.IsUnreachable)
            continue;
        MacAddress mac{};
        if (row.PhysicalAddressLength != mac.size())
            continue;
        std::copy_n(row.PhysicalAddress, mac.size(), mac.begin());
        if (mac == MacAddress{} || IsGroupAddress(mac))
            continue;
        table[row.Address.Ipv4.sin_addr.s_addr] = mac;
    }
    return table;
}

KernelNeighbours::KernelNeighbours() = default;

KernelNeighbours::~KernelNeighbours()
{
    if (m_socket != -1) {
        closesocket(static_cast<SOCKET>(m_socket));
        WSACleanup();
    }
}

std::unordered_map<std::uint32_t, MacAddress> KernelNeighbours::Read() const
{
    MIB_IPNET_TABLE2* table = nullptr;
    if (GetIpNetTable2(AF_INET, &table) != NO_ERROR || !table)
        return {};
    auto entries = CompleteIpv4Entries(table->Table, table->NumEntries);
    FreeMibTable(table);
    return entries;
}

void KernelNeighbours::Ask(std::uint32_t address)
{
    // An empty datagram to the discard port: the stack must resolve the next
    // hop to send it, and an on-link host is its own next hop.
    if (m_socket == -1) {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            return;
        const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            if (s != INVALID_SOCKET)
                closesocket(s);
            WSACleanup();
            return;
        }
        m_socket = static_cast<std::intptr_t>(s);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kDiscardPort);
    to.sin_addr.s_addr = address;
    // Failure only means no entry will appear; the wait then finds nothing.
    (void)sendto(static_cast<SOCKET>(m_socket), "", 0, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}
