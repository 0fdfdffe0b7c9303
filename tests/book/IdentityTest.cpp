// Who a server is, and how long it says it has been up: pure functions of
// the reply's text.
#include "book/ServerIdentity.h"
#include "book/UpTime.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

ServerRecord Record(std::u16string id, std::u16string serial, std::u16string mac, std::u16string ip = u"10.0.0.5")
{
    ServerRecord r;
    r.KorvanID = std::move(id);
    r.Serial = std::move(serial);
    r.Mac = std::move(mac);
    r.IP = std::move(ip);
    return r;
}

TEST(Identity, TheBestKnownFieldNamesTheServer)
{
    struct Case
    {
        const char* why;
        ServerRecord record;
        std::string identity;
    };
    const Case cases[] = {
        {"the Korvan ID wins over everything", Record(u"KORVAN-0003", u"S1", u"00-11-22-33-44-55"), "KORVAN-0003"},
        {"the ID is trimmed of blanks, tabs and a CR", Record(u" \tKORVAN-0003\r", u"S1", u""), "KORVAN-0003"},
        {"an ID of white space only is blank", Record(u" \t\r\n", u"S1", u"00-11-22-33-44-55"),
         "serial:S1/mac:00-11-22-33-44-55"},
        {"NBSP and the ideographic space are white space too", Record(u"\u00A0\u3000", u"", u"00-11-22-33-44-55"),
         "mac:00-11-22-33-44-55"},
        {"serial and MAC without an ID", Record(u"", u" S1 ", u"00-11-22-33-44-55"),
         "serial:S1/mac:00-11-22-33-44-55"},
        {"a serial without a MAC is not enough", Record(u"", u"S1", u""), "ip:10.0.0.5"},
        {"the MAC alone", Record(u"", u"", u"00-11-22-33-44-55"), "mac:00-11-22-33-44-55"},
        {"nothing but the address", Record(u"", u"  ", u" "), "ip:10.0.0.5"},
        {"an ID inside keeps its inner blanks", Record(u"Korvan 7", u"", u""), "Korvan 7"},
        {"non-ASCII IDs are UTF-8", Record(u"服务器-1", u"", u""), "\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(ServerIdentity(c.record), c.identity);
    }
}

TEST(Identity, TheAddressDoesNotChangeAnIdentityThatHasMore)
{
    EXPECT_EQ(ServerIdentity(Record(u"K1", u"", u"", u"10.0.0.5")), ServerIdentity(Record(u"K1", u"", u"", u"10.0.0.9")));
    EXPECT_EQ(ServerIdentity(Record(u"", u"", u"00-11-22-33-44-55", u"10.0.0.5")),
              ServerIdentity(Record(u"", u"", u"00-11-22-33-44-55", u"10.0.0.9")));
    EXPECT_NE(ServerIdentity(Record(u"", u"", u"", u"10.0.0.5")), ServerIdentity(Record(u"", u"", u"", u"10.0.0.9")));
}

TEST(UpTime, ReadsTheFormsServersWrite)
{
    using std::chrono::seconds;
    constexpr long long kDay = 86400;
    struct Case
    {
        const char* why;
        std::u16string_view text;
        std::optional<long long> seconds;
    };
    const Case cases[] = {
        {"a bare number is seconds", u"86400", kDay},
        {"zero is an up time", u"0", 0},
        {"days and an hours:minutes clock", u"0d 00:00", 0},
        {"days and a clock", u"3d 4:05", 3 * kDay + 4 * 3600 + 5 * 60},
        {"hours:minutes:seconds", u"12:34:56", 12 * 3600 + 34 * 60 + 56},
        {"unit letters", u"3d 4h", 3 * kDay + 4 * 3600},
        {"unit letters without blanks", u"4h5m6s", 4 * 3600 + 5 * 60 + 6},
        {"words", u"2 days", 2 * kDay},
        {"one day, singular, with commas", u"1 day, 3 hours, 2 minutes", kDay + 3 * 3600 + 120},
        {"the uptime command's form", u"up 5 days,  3:07", 5 * kDay + 3 * 3600 + 7 * 60},
        {"\"up\" after blanks", u"  UP 2:00\r", 2 * 3600},
        {"upper case and surrounding blanks, a CR", u"  3 Days 4 HRS\r", 3 * kDay + 4 * 3600},
        {"weeks", u"2w 1d", 15 * kDay},
        {"Chinese units", u"3天4小时5分钟", 3 * kDay + 4 * 3600 + 300},
        {"Chinese seconds", u"90秒", 90},
        {"empty", u"", std::nullopt},
        {"only blanks", u"  \r", std::nullopt},
        {"a word alone", u"unknown", std::nullopt},
        {"a unit without a number", u"days", std::nullopt},
        {"an unknown unit", u"3 fortnights", std::nullopt},
        {"a negative figure", u"-5", std::nullopt},
        {"a fraction", u"1.5 days", std::nullopt},
        {"a bare number with anything else", u"3 4h", std::nullopt},
        {"a unit twice", u"3d 2d", std::nullopt},
        {"two clocks", u"1:00 2:00", std::nullopt},
        {"minutes of 60 or more", u"1:60", std::nullopt},
        {"a clock part of three digits", u"1:005", std::nullopt},
        {"trailing garbage", u"3d 4h!", std::nullopt},
        {"beyond a million days", u"1000001d", std::nullopt},
        {"a number too long to hold", u"99999999999999999999", std::nullopt},
        {"\"up\" alone", u"up", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const auto parsed = ParseUpTime(c.text);
        ASSERT_EQ(parsed.has_value(), c.seconds.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->count(), *c.seconds);
        }
    }
}

}  // namespace
