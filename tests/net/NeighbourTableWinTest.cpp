#include "discovery/NeighbourTable.h"
#include "net/NeighbourRows_win.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return htonl((a << 24) | (b << 16) | (c << 8) | d);
}

struct RowCase
{
    const char* why;
    NL_NEIGHBOR_STATE state;
    std::vector<unsigned char> mac;
    bool unreachable;
    bool kept;
};

// The rows Windows and Wine put in the table, and which of them name a host.
const RowCase kRowCases[] = {
    {"a reachable host is kept", NlnsReachable, {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x01}, false, true},
    {"a stale entry still names the host", NlnsStale, {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x02}, false, true},
    {"a permanent entry is kept", NlnsPermanent, {0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF}, false, true},
    {"an incomplete entry has no address yet", NlnsIncomplete, {0, 0, 0, 0, 0, 0}, false, false},
    {"an unreachable neighbour is dropped", NlnsReachable, {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x03}, true, false},
    {"a row without a hardware address (Wine's multicast rows) is dropped", NlnsPermanent, {}, false, false},
    {"an all-zero address is dropped", NlnsReachable, {0, 0, 0, 0, 0, 0}, false, false},
    {"the broadcast address is no host", NlnsPermanent, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false, false},
    {"a multicast address is no host", NlnsPermanent, {0x01, 0x00, 0x5E, 0x00, 0x00, 0x16}, false, false},
};

TEST(NeighbourRows, KeepOnlyCompleteHostEntries)
{
    for (const RowCase& c : kRowCases) {
        SCOPED_TRACE(c.why);
        MIB_IPNET_ROW2 row{};
        row.Address.Ipv4.sin_family = AF_INET;
        row.Address.Ipv4.sin_addr.s_addr = Ip(10, 21, 1, 1);
        row.State = c.state;
        row.IsUnreachable = c.unreachable;
        row.PhysicalAddressLength = static_cast<ULONG>(c.mac.size());
        std::copy(c.mac.begin(), c.mac.end(), row.PhysicalAddress);
        const auto table = CompleteIpv4Entries(&row, 1);
        ASSERT_EQ(table.size(), c.kept ? 1u : 0u);
        if (c.kept) {
            EXPECT_TRUE(std::equal(c.mac.begin(), c.mac.end(), table.at(Ip(10, 21, 1, 1)).begin()));
        }
    }
}

TEST(NeighbourRows, IgnoreIpv6AndKeyByAddress)
{
    MIB_IPNET_ROW2 rows[2]{};
    rows[0].Address.si_family = AF_INET6;
    rows[0].State = NlnsReachable;
    rows[0].PhysicalAddressLength = 6;
    rows[0].PhysicalAddress[0] = 0x02;
    rows[1] = rows[0];
    rows[1].Address.Ipv4.sin_family = AF_INET;
    rows[1].Address.Ipv4.sin_addr.s_addr = Ip(192, 168, 7, 9);
    const auto table = CompleteIpv4Entries(rows, 2);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_TRUE(table.contains(Ip(192, 168, 7, 9)));
}

TEST(NeighbourTable, NeverResolvesAddressesOffTheLocalLinks)
{
    // No links known: nothing is on-link, so no datagram is sent and no wait.
    NeighbourTable table({});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(table.Lookup(Ip(203, 0, 113, 7)).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace
