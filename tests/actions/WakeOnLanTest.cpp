#include "actions/WakeOnLan.h"

#include <gtest/gtest.h>

namespace {

TEST(MagicPacket, SixFfThenTheAddressSixteenTimes)
{
    const MagicPacket p = BuildMagicPacket({0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF});
    ASSERT_EQ(p.size(), 102u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(p[i], 0xFF);
    for (std::size_t k = 0; k < 16; ++k) {
        const MacAddress copy = {p[6 + k * 6], p[7 + k * 6], p[8 + k * 6], p[9 + k * 6], p[10 + k * 6], p[11 + k * 6]};
        EXPECT_EQ(copy, (MacAddress{0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF})) << "copy " << k;
    }
}

struct MacCase
{
    const char* text;
    std::optional<MacAddress> mac;
};

TEST(ParseMacText, OnlyTheRecordsOwnFormOfADeviceAddress)
{
    const MacCase cases[] = {
        {"00-11-32-AB-CD-EF", MacAddress{0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF}},
        {"00-11-32-ab-cd-ef", MacAddress{0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF}},
        {"00:11:32:AB:CD:EF", std::nullopt},
        {"001132ABCDEF", std::nullopt},
        {"00-11-32-AB-CD-EF ", std::nullopt},
        {"00-11-32-AB-CD-EG", std::nullopt},
        {"0-11-32-AB-CD-EF-", std::nullopt},
        {"", std::nullopt},
        {"00-00-00-00-00-00", std::nullopt},
        {"FF-FF-FF-FF-FF-FF", std::nullopt},
        {"01-00-5E-00-00-FB", std::nullopt},
    };
    for (const MacCase& c : cases) {
        std::string error;
        EXPECT_EQ(ParseMacText(c.text, error), c.mac) << c.text;
        if (!c.mac) {
            EXPECT_FALSE(error.empty()) << c.text;
            EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
        }
    }
}

TEST(SendWakeOnLan, RefusesBadInputBeforeAnySocket)
{
    const WakeResult bad = SendWakeOnLan("00:11:32:AB:CD:EF", {});
    EXPECT_FALSE(bad.sent);
    EXPECT_NE(bad.error.find("00-11-32-AB-CD-EF"), std::string::npos) << bad.error;
    const WakeResult badFrom = SendWakeOnLan("00-11-32-AB-CD-EF", {0, "10.1.2"});
    EXPECT_FALSE(badFrom.sent);
    EXPECT_EQ(badFrom.error, "not an IPv4 address: \"10.1.2\"");
}

}  // namespace
