#include "base/ExecutablePath.h"
#include "base/LocaleText.h"
#include "base/LocaleText_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <windows.h>

// ctest runs this under Wine twice: with the code page 1252 and with 936
// (Wine takes the ANSI code page from LANG). Each row names its code page;
// rows of the other one are skipped.

namespace {

using namespace std::string_view_literals;

struct DecodeCase
{
    UINT codePage;
    const char* why;
    std::string_view bytes;
    std::u16string_view text;
};

const DecodeCase kDecodeCases[] = {
    {1252, "ASCII and LF stay as they are", "nas1\n80\n", u"nas1\n80\n"},
    {1252, "every byte is a character: 0xE9 is e-acute, 0x80 the euro sign", "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
    {1252, "a NUL byte is kept", "a\0b"sv, u"a\0b"sv},
    {936, "double-byte characters decode",
     "\xCB\xD1\xCB\xF7"
     "A",
     u"\u641C\u7D22A"},
    {936, "a lead byte cut off by the end is one U+FFFD", "A\xCB", u"A\uFFFD"},
    {936, "a lead byte before a byte that cannot follow it is one U+FFFD; that byte survives",
     "\xCB "
     "B",
     u"\uFFFD B"},
    {936, "good text around a bad pair survives", "\xCB\xD1\xCB \xCB\xF7", u"\u641C\uFFFD \u7D22"},
};

struct EncodeCase
{
    UINT codePage;
    const char* why;
    std::u16string_view text;
    std::optional<std::string_view> bytes;
};

const EncodeCase kEncodeCases[] = {
    {1252, "Latin text encodes", u"lang\u00E9.xml", "lang\xE9.xml"},
    {1252, "a character the code page lacks is refused", u"\u641C", std::nullopt},
    {1252, "a look-alike is refused, not put in its place", u"\u0100", std::nullopt},
    {1252, "an unpaired surrogate is refused", std::u16string_view(u"a\xD800", 2), std::nullopt},
    {1252, "empty text is empty bytes", u"", ""},
    {936, "Chinese text encodes", u"\u641C\u7D22", "\xCB\xD1\xCB\xF7"},
    {936, "a character the code page lacks is refused", u"\u0E01", std::nullopt},
    {936, "an unpaired surrogate is refused", std::u16string_view(u"\xDC00z", 2), std::nullopt},
};

class CodePageDecode : public ::testing::TestWithParam<DecodeCase>
{};

TEST_P(CodePageDecode, Decodes)
{
    if (GetACP() != GetParam().codePage)
        GTEST_SKIP() << "for code page " << GetParam().codePage;
    EXPECT_EQ(DecodeLocal8Bit(GetParam().bytes), GetParam().text) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(Table, CodePageDecode, ::testing::ValuesIn(kDecodeCases));

class CodePageEncode : public ::testing::TestWithParam<EncodeCase>
{};

TEST_P(CodePageEncode, EncodesOrRefuses)
{
    if (GetACP() != GetParam().codePage)
        GTEST_SKIP() << "for code page " << GetParam().codePage;
    const std::optional<std::string> bytes = EncodeLocal8Bit(GetParam().text);
    ASSERT_EQ(bytes.has_value(), GetParam().bytes.has_value()) << GetParam().why;
    if (bytes) {
        EXPECT_EQ(*bytes, *GetParam().bytes) << GetParam().why;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CodePageEncode, ::testing::ValuesIn(kEncodeCases));

// Replies as each code page reads them; the UTF-8 rows are what a Windows
// set to UTF-8 (65001) reads, the same as a UTF-8 locale on Linux.
struct ReplyCase
{
    UINT codePage;
    const char* why;
    std::string_view bytes;
    std::u16string_view text;
};

const ReplyCase kReplyCases[] = {
    {CP_UTF8, "valid UTF-8 stays UTF-8", "caf\xC3\xA9\n\xE6\x90\x9C\n", u"caf\u00E9\n\u641C\n"},
    {CP_UTF8, "a GBK line beside UTF-8 lines reads as GB18030", "\xC4\xE3\xBA\xC3\n80\n\xE2\x85\xA1\n",
     u"\u4F60\u597D\n80\n\u2161\n"},
    {CP_UTF8, "a four-byte GB18030 sequence decodes", "\x81\x30\x81\x30!", u"\u0080!"},
    {CP_UTF8, "a byte that is neither becomes one U+FFFD, the rest of the line survives", "\xC4\xE3\xFF\xBA\xC3\n",
     u"\u4F60\uFFFD\u597D\n"},
    {CP_UTF8, "a lead byte cut off by the line end is one U+FFFD, the LF stays", "\xC4\n\xC4\xE3", u"\uFFFD\n\u4F60"},
    {1252, "any other code page reads the whole reply in itself", "\xC4\xE3\n", u"\u00C4\u00E3\n"},
    {936, "a Chinese code page reads GBK itself", "\xC4\xE3\n80\n", u"\u4F60\n80\n"},
};

class ReplyDecode : public ::testing::TestWithParam<ReplyCase>
{};

TEST_P(ReplyDecode, ReadsTheWayTheCodePageSays)
{
    if (GetParam().bytes.starts_with("\x81\x30") && !IsValidCodePage(54936))
        GTEST_SKIP() << "no GB18030 code page here (Wine 8 has none)";
    EXPECT_EQ(DecodeReplyTextIn(GetParam().codePage, GetParam().bytes), GetParam().text) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(Table, ReplyDecode, ::testing::ValuesIn(kReplyCases));

TEST(LocaleText, RepliesFollowTheAnsiCodePage)
{
    const std::string_view gbk = "\xC4\xE3\xBA\xC3\n";
    EXPECT_EQ(DecodeReplyText(gbk), DecodeReplyTextIn(GetACP(), gbk));
    EXPECT_EQ(DecodeReplyText(gbk), DecodeLocal8Bit(gbk)) << "no code page under Wine is UTF-8";
}

TEST(LocaleText, NamesTheAnsiCodePage)
{
    EXPECT_EQ(Local8BitCodeset(), "CP" + std::to_string(GetACP()));
}

TEST(LocaleText, Utf8HelpersDoNotDependOnTheCodePage)
{
    EXPECT_EQ(FromUtf8("\xE6\x90\x9C\xF0\x9F\x98\x80"), u"\u641C\U0001F600");
    EXPECT_EQ(FromUtf8("a\x80"), u"a\uFFFD");
    EXPECT_EQ(ToUtf8(u"\u641C"), "\xE6\x90\x9C");
}

std::u16string OwnFileName()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::u16string full(path, path + n);
    return full.substr(full.find_last_of(u"\\/") + 1);
}

TEST(ExecutablePath, IsTheFolderOfTheRunningProgramWithForwardSlashes)
{
    const std::string dir = ExecutableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.find('\\'), std::string::npos) << dir;
    const std::optional<std::string> name = EncodeLocal8Bit(OwnFileName());
    ASSERT_TRUE(name.has_value());
    std::FILE* self = std::fopen((dir + *name).c_str(), "rb");
    EXPECT_NE(self, nullptr) << dir + *name;
    if (self) {
        std::fclose(self);
    }
}

}  // namespace
