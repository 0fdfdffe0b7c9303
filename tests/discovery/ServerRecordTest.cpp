#include "discovery/ServerRecord.h"
#include "base/LocaleText.h"
#include "discovery/ServerFields.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

using Fields = std::array<std::u16string_view, ServerRecord::kFieldCount>;

const MacAddress kMac = {0x00, 0x11, 0x32, 0xAB, 0xCD, 0xEF};
constexpr std::u16string_view kMacText = u"00-11-32-AB-CD-EF";

struct ParseCase
{
    const char* why;
    std::string_view payload;
    // Name, IP, Port, Version, Serial, Mac, DeviceType, KorvanID, UpTime
    Fields fields;
};

using namespace std::string_view_literals;

const ParseCase kParseCases[] = {
    {"eight LF-ended lines fill every field and line 6 is never kept",
     "nas1\n80\n1.2\ns3\nt4\nm5\nk6\nu7\n",
     {u"nas1", u"192.168.1.20", u"80", u"1.2", u"s3", kMacText, u"t4", u"k6", u"u7"}},
    {"a missing last LF leaves UpTime empty",
     "nas1\n80\n1.2\ns3\nt4\nm5\nk6\nu7",
     {u"nas1", u"192.168.1.20", u"80", u"1.2", u"s3", kMacText, u"t4", u"k6", u""}},
    {"two lines fill Name and Port only",
     "nas1\n80\n",
     {u"nas1", u"192.168.1.20", u"80", u"", u"", kMacText, u"", u"", u""}},
    {"text without any LF fills no line field",
     "hello there",
     {u"", u"192.168.1.20", u"", u"", u"", kMacText, u"", u"", u""}},
    {"an empty line gives an empty field and the next line moves on",
     "nas1\n\n1.2\n",
     {u"nas1", u"192.168.1.20", u"", u"1.2", u"", kMacText, u"", u"", u""}},
    {"CR LF line ends keep the CR",
     "nas1\r\n80\r\n1.2\r\ns3\r\nt4\r\nm5\r\nk6\r\nu7\r\n",
     {u"nas1\r", u"192.168.1.20", u"80\r", u"1.2\r", u"s3\r", kMacText, u"t4\r", u"k6\r", u"u7\r"}},
    {"a ninth line and trailing text change nothing",
     "nas1\n80\n1.2\ns3\nt4\nm5\nk6\nu7\nextra\nmore",
     {u"nas1", u"192.168.1.20", u"80", u"1.2", u"s3", kMacText, u"t4", u"k6", u"u7"}},
    {"a NUL byte ends the text there",
     "nas1\n80\n1.\0002\ns3\nt4\nm5\nk6\nu7\n"sv,
     {u"nas1", u"192.168.1.20", u"80", u"", u"", kMacText, u"", u"", u""}},
    {"blanks are not trimmed",
     " nas 1 \n 80\n",
     {u" nas 1 ", u"192.168.1.20", u" 80", u"", u"", kMacText, u"", u"", u""}},
    {"an empty payload gives empty line fields", "", {u"", u"192.168.1.20", u"", u"", u"", kMacText, u"", u"", u""}},
    {"UTF-8 text is decoded; bytes that do not decode become U+FFFD",
     "caf\xC3\xA9\n8\xFF"
     "0\n",
     {u"caf\u00E9", u"192.168.1.20", u"8\uFFFD0", u"", u"", kMacText, u"", u"", u""}},
    {"a GBK name from a Chinese Windows set-up reads right beside UTF-8 lines",
     "\xC4\xE3\xBA\xC3\n80\n\xE2\x85\xA1\n",
     {u"\u4F60\u597D", u"192.168.1.20", u"80", u"\u2161", u"", kMacText, u"", u"", u""}},
};

class ParseReplyTest : public testing::TestWithParam<ParseCase>
{};

TEST_P(ParseReplyTest, FieldsLandInTheirPlaces)
{
    const ParseCase& c = GetParam();
    const ServerRecord record = ParseReply(c.payload, "192.168.1.20", kMac);
    for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
        EXPECT_EQ(record.Field(i), c.fields[i]) << "field " << kServerFields[i].name;
}

INSTANTIATE_TEST_SUITE_P(Replies, ParseReplyTest, testing::ValuesIn(kParseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

TEST(ParseReply, UnknownHardwareAddressLeavesMacEmpty)
{
    // Never the previous server's address or whatever a buffer held.
    const ServerRecord known = ParseReply("a\nb\n", "10.0.0.1", kMac);
    const ServerRecord unknown = ParseReply("a\nb\n", "10.0.0.2", std::nullopt);
    EXPECT_EQ(known.Mac, kMacText);
    EXPECT_EQ(unknown.Mac, u"");
    EXPECT_EQ(unknown.IP, u"10.0.0.2");
}

TEST(ServerRecord, FieldIndexFollowsTheListLabels)
{
    ServerRecord record;
    for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
        record.Field(i) = std::u16string(1, static_cast<char16_t>(u'a' + i));
    EXPECT_EQ(record.Name, u"a");
    EXPECT_EQ(record.IP, u"b");
    EXPECT_EQ(record.Port, u"c");
    EXPECT_EQ(record.Version, u"d");
    EXPECT_EQ(record.Serial, u"e");
    EXPECT_EQ(record.Mac, u"f");
    EXPECT_EQ(record.DeviceType, u"g");
    EXPECT_EQ(record.KorvanID, u"h");
    EXPECT_EQ(record.UpTime, u"i");
    EXPECT_EQ(ServerRecord{}.Name, u"");
}

TEST(FormatMac, TwoUpperCaseDigitsPerByteJoinedByHyphens)
{
    EXPECT_EQ(FormatMac({0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F}), u"0A-0B-0C-0D-0E-0F");
    EXPECT_EQ(FormatMac(kMac), kMacText);
    EXPECT_EQ(FormatMac({0, 0, 0, 0, 0, 0}), u"00-00-00-00-00-00");
    EXPECT_EQ(FormatMac({0xFF, 0xFE, 0x80, 0x7F, 0x01, 0x10}), u"FF-FE-80-7F-01-10");
}

TEST(ProbePayload, IsMessageAndCounterWithTerminatingNul)
{
    const std::string first = ProbePayload(1);
    const std::string expected("\x4D\x65\x73\x73\x61\x67\x65\x20\x31\x00", 10);
    EXPECT_EQ(first, expected);
    EXPECT_EQ(ProbePayload(9), std::string("Message 9\0", 10));
    EXPECT_EQ(ProbePayload(10), std::string("Message 10\0", 11));
    EXPECT_EQ(ProbePayload(2147483647).size(), 9u + 10u);
}

TEST(ParseReplyInLegacyLocale, DecodesTheUsersCharacterSet)
{
    if (!std::setlocale(LC_ALL, "zh_CN.GB18030"))
        GTEST_SKIP() << "zh_CN.GB18030 locale not generated (scripts/setup.sh makes it)";
    const ServerRecord record = ParseReply("\xC4\xE3\xBA\xC3\n80\n", "10.0.0.1", std::nullopt);
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(record.Name, u"\u4F60\u597D");
    EXPECT_EQ(record.Port, u"80");
}

}  // namespace
