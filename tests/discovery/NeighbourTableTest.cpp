#include "discovery/NeighbourTable.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

namespace {

std::uint32_t Ip(const char* text)
{
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

TEST(NeighbourTable, KeepsOnlyCompleteEntries)
{
    const char* text = "IP address       HW type     Flags       HW address            Mask     Device\n"
                       "10.21.0.2        0x1         0x2         02:aa:bb:cc:dd:01     *        vh1\n"
                       "10.21.0.3        0x1         0x0         00:00:00:00:00:00     *        vh1\n"
                       "10.21.0.4        0x1         0x6         02:AA:BB:CC:DD:04     *        vh1\n"
                       "10.21.0.5        0x1         0x2         00:00:00:00:00:00     *        vh1\n"
                       "garbage line\n"
                       "10.21.0.6        0x1         0x2         02:aa:bb\n";
    const auto table = KernelNeighbours::ParseArpTable(text);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(Ip("10.21.0.2")), (MacAddress{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x01}));
    EXPECT_EQ(table.at(Ip("10.21.0.4")), (MacAddress{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0x04}));
}

TEST(NeighbourTable, EmptyOrHeaderOnlyTextHasNoEntries)
{
    EXPECT_TRUE(KernelNeighbours::ParseArpTable("").empty());
    EXPECT_TRUE(KernelNeighbours::ParseArpTable("IP address HW type Flags HW address Mask Device\n").empty());
}

TEST(NeighbourTable, NeverResolvesAddressesOffTheLocalLinks)
{
    // No links known: nothing is on-link, so no datagram is sent and no wait.
    NeighbourTable table({});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(table.Lookup(Ip("203.0.113.7")).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

}  // namespace
