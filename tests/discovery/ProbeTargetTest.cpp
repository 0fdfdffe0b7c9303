#include "discovery/ProbeTarget.h"
#include "net/SocketApi.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t Host(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return ntohl(a.s_addr);
}

struct TargetCase
{
    const char* written;
    const char* first;  // null: refused
    const char* last;
    const char* says = "";  // part of the error when refused
};

const TargetCase kTargets[] = {
    {"10.20.0.7", "10.20.0.7", "10.20.0.7"},
    {"10.20.0.0", "10.20.0.0", "10.20.0.0"},
    {"127.0.0.1", "127.0.0.1", "127.0.0.1"},
    {"223.255.255.255", "223.255.255.255", "223.255.255.255"},
    // Blocks leave out their network and broadcast addresses.
    {"10.20.0.0/24", "10.20.0.1", "10.20.0.254"},
    {"10.20.0.9/24", "10.20.0.1", "10.20.0.254"},
    {"10.20.0.0/16", "10.20.0.1", "10.20.255.254"},
    {"10.20.0.5/30", "10.20.0.5", "10.20.0.6"},
    {"10.20.0.5/31", "10.20.0.4", "10.20.0.5"},
    {"10.20.0.9/32", "10.20.0.9", "10.20.0.9"},
    {"10.20.0.5-10.20.0.40", "10.20.0.5", "10.20.0.40"},
    {"10.20.0.5-10.20.0.5", "10.20.0.5", "10.20.0.5"},
    {"10.20.0.0-10.20.255.255", "10.20.0.0", "10.20.255.255"},
    // Refused, each with a reason.
    {"10.0.0.0/8", nullptr, nullptr, "at most a /16"},
    {"10.20.0.0/15", nullptr, nullptr, "at most a /16"},
    {"10.20.0.0/33", nullptr, nullptr, "prefix after / must be a number from 16 to 32"},
    {"10.20.0.0/", nullptr, nullptr, "prefix after /"},
    {"10.20.0.0/016", nullptr, nullptr, "prefix after /"},
    {"10.20.0.0/24/24", nullptr, nullptr, "prefix after /"},
    {"10.20.0.40-10.20.0.5", nullptr, nullptr, "runs backwards"},
    {"10.20.0.0-10.21.0.0", nullptr, nullptr, "at most 65536 addresses"},
    {"010.20.0.1", nullptr, nullptr, "010 has a leading zero"},
    {"10.20.0.01", nullptr, nullptr, "01 has a leading zero"},
    {"10.20.0.1-10.20.0.010", nullptr, nullptr, "010 has a leading zero"},
    {"10.20.0.256", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0.1.5", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0.", nullptr, nullptr, "is not an IPv4 address"},
    {"", nullptr, nullptr, "is not an IPv4 address"},
    {"nas.example", nullptr, nullptr, "is not an IPv4 address"},
    {"0x0A.20.0.1", nullptr, nullptr, "is not an IPv4 address"},
    {"+10.20.0.1", nullptr, nullptr, "is not an IPv4 address"},
    {"-10.20.0.1", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0.0/24-10.20.1.0", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0.1-", nullptr, nullptr, "is not an IPv4 address"},
    {"10.20.0.1 ", nullptr, nullptr, "blanks are not allowed"},
    {"10.20. 0.1", nullptr, nullptr, "blanks are not allowed"},
    {"10.20.0.1-\t10.20.0.2", nullptr, nullptr, "blanks are not allowed"},
    {"0.0.0.0", nullptr, nullptr, "0.0.0.0 is not a unicast address"},
    {"0.1.2.3/16", nullptr, nullptr, "0.1.0.1 is not a unicast address"},
    {"224.0.0.1", nullptr, nullptr, "224.0.0.1 is not a unicast address"},
    {"255.255.255.255", nullptr, nullptr, "255.255.255.255 is not a unicast address"},
    {"223.255.255.0-224.0.0.10", nullptr, nullptr, "224.0.0.0 is not a unicast address"},
};

TEST(ParseProbeTarget, AcceptsAddressesBlocksAndRangesAndNamesWhatIsWrongOtherwise)
{
    for (const TargetCase& c : kTargets) {
        SCOPED_TRACE(std::string("'") + c.written + "'");
        const ProbeTargetParse parsed = ParseProbeTarget(c.written);
        if (c.first) {
            ASSERT_TRUE(parsed.target.has_value()) << parsed.error;
            EXPECT_EQ(parsed.target->first, Host(c.first));
            EXPECT_EQ(parsed.target->last, Host(c.last));
            EXPECT_EQ(parsed.target->written, c.written);
            EXPECT_EQ(parsed.error, "");
        } else {
            EXPECT_FALSE(parsed.target.has_value());
            EXPECT_EQ(parsed.error.rfind(std::string("'") + c.written + "'", 0), 0u)
                << "names the target as written: " << parsed.error;
            EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
            EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line";
        }
    }
}

}  // namespace
