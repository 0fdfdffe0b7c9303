#include "base/LocaleText.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

struct DecodeCase
{
    const char* why;
    std::string_view bytes;
    std::u16string_view text;
};

const DecodeCase kUtf8Cases[] = {
    {"ASCII stays ASCII, LF included", "nas1\n80\n", u"nas1\n80\n"},
    {"two- and three-byte sequences decode", "\xC3\xA9\xE6\x90\x9C", u"\u00E9\u641C"},
    {"a four-byte sequence becomes a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
    {"a stray continuation byte is one replacement",
     "a\x80"
     "b",
     u"a\uFFFDb"},
    {"a sequence cut off at the end is replaced", "ab\xE6\x90", u"ab\uFFFD\uFFFD"},
    {"an overlong encoding is not accepted", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"an encoded surrogate is not accepted", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"GB18030 bytes in a UTF-8 locale never crash", "\xCB\xD1\xCB\xF7", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
};

class Utf8Locale : public ::testing::TestWithParam<DecodeCase>
{
protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
};

TEST_P(Utf8Locale, Decodes)
{
    EXPECT_EQ(DecodeLocal8Bit(GetParam().bytes), GetParam().text) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(Table, Utf8Locale, ::testing::ValuesIn(kUtf8Cases));

TEST(LocaleText, PlainCLocaleReadsUtf8)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(DecodeLocal8Bit("\xE6\x90\x9C"), u"\u641C");
    std::setlocale(LC_ALL, "C.UTF-8");
}

TEST(LocaleText, EncodeRoundTripsAndRefusesUnpairedSurrogates)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(EncodeLocal8Bit(u"lang\u00E9\U0001F600.xml"), std::string("lang\xC3\xA9\xF0\x9F\x98\x80.xml"));
    EXPECT_FALSE(EncodeLocal8Bit(std::u16string(1, char16_t(0xD800))).has_value());
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(LocaleText, LegacyCharsetGoesThroughIconv)
{
    // GB18030 is the legacy Simplified Chinese set; skip where the locale is not generated.
    if (!std::setlocale(LC_ALL, "zh_CN.GB18030") && !std::setlocale(LC_ALL, "zh_CN.gb18030"))
        GTEST_SKIP() << "zh_CN.GB18030 locale not available";
    EXPECT_EQ(DecodeLocal8Bit("\xCB\xD1\xCB\xF7"
                              "A"),
              u"\u641C\u7D22A");
    EXPECT_EQ(DecodeLocal8Bit("A\xFF"), u"A\uFFFD");
    EXPECT_EQ(EncodeLocal8Bit(u"\u641C\u7D22"), std::string("\xCB\xD1\xCB\xF7"));
    std::setlocale(LC_ALL, "C.UTF-8");
}

// Reply text under each locale a searching machine may have. "搜索" is
// CB D1 CB F7 in GB18030 and E6 90 9C E7 B4 A2 in UTF-8.
struct ReplyCase
{
    const char* why;
    const char* locale;
    std::string_view bytes;
    std::u16string_view text;
};

const ReplyCase kReplyCases[] = {
    {"a UTF-8 name stays UTF-8", "C.UTF-8", "\xE6\x90\x9C\xE7\xB4\xA2\n80\n", u"\u641C\u7D22\n80\n"},
    {"a GB18030 name is read as GB18030", "C.UTF-8", "\xCB\xD1\xCB\xF7\n80\n", u"\u641C\u7D22\n80\n"},
    {"the plain C locale reads GB18030 names too", "C", "\xCB\xD1\xCB\xF7\n", u"\u641C\u7D22\n"},
    {"a four-byte GB18030 sequence (digits inside) decodes", "C.UTF-8", "\x94\x39\xFC\x36\n", u"\U0001F600\n"},
    {"each line is judged on its own", "C.UTF-8", "\xCB\xD1\xCB\xF7\n\xE6\x90\x9C\n8\xC3\xA9\n",
     u"\u641C\u7D22\n\u641C\n8\u00E9\n"},
    {"a byte neither set knows is one replacement", "C.UTF-8",
     "A\xFF\n\x80"
     "B\n",
     u"A\uFFFD\n\uFFFDB\n"},
    {"a GB18030 lead cut off by LF keeps the LF and the next line", "C.UTF-8", "\xCB\n80\n", u"\uFFFD\n80\n"},
    {"ASCII, CR and an empty line stay as they are", "C.UTF-8", "nas1\r\n\n80", u"nas1\r\n\n80"},
    {"a GB18030 locale reads GB18030", "zh_CN.GB18030", "\xCB\xD1\xCB\xF7\n80\n", u"\u641C\u7D22\n80\n"},
    // The locale's own set wins: UTF-8 bytes read as GB18030 pairs.
    {"a GB18030 locale reads UTF-8 bytes as GB18030", "zh_CN.GB18030", "\xE6\x90\x9C\xE7\xB4\xA2\n",
     u"\u93BC\u6EC5\u50A8\n"},
    {"a GB18030 locale keeps ASCII and LF", "zh_CN.GB18030", "nas1\n80\n", u"nas1\n80\n"},
};

class ReplyText : public ::testing::TestWithParam<ReplyCase>
{
protected:
    void TearDown() override { std::setlocale(LC_ALL, "C.UTF-8"); }
};

TEST_P(ReplyText, Decodes)
{
    const ReplyCase& c = GetParam();
    if (!std::setlocale(LC_ALL, c.locale))
        GTEST_SKIP() << c.locale << " locale not generated (scripts/setup.sh makes it)";
    EXPECT_EQ(DecodeReplyText(c.bytes), c.text) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Table, ReplyText, ::testing::ValuesIn(kReplyCases));

}  // namespace
