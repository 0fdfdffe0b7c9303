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

}  // namespace
