#include "DisplayWidth.h"
#include "ScanOutput.h"
#include "base/LocaleText.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct WidthCase
{
    const char* why;
    const char* utf8;
    std::size_t cells;
};

const WidthCase kWidths[] = {
    {"ASCII takes a cell a character", "KORVAN-0001", 11},
    {"nothing takes nothing", "", 0},
    {"CJK ideographs take two", "\xE5\xAD\x98\xE5\x82\xA8", 4},             // 存储
    {"kana and Hangul syllables take two", "\xE3\x83\x8A\xEC\x84\x9C", 4},  // ナ 서
    {"fullwidth forms take two", "\xEF\xBC\xA1\xEF\xBC\x91", 4},            // Ａ１
    {"halfwidth katakana take one", "\xEF\xBD\xB1", 1},                     // ｱ
    {"ideographs beyond the BMP take two", "\xF0\xA0\x80\x80", 2},          // U+20000
    {"an emoji takes two", "\xF0\x9F\x98\x80", 2},                          // U+1F600
    {"a combining accent takes none", "e\xCC\x81", 1},                      // e + U+0301
    {"a zero-width joiner takes none",
     "a\xE2\x80\x8D"
     "b",
     2},                                                                      // U+200D
    {"Latin with accents takes one each", "caf\xC3\xA9", 4},                  // café
    {"Cyrillic and Greek take one", "\xD0\x96\xCE\xA9", 2},                   // Ж Ω
    {"the ideographic space takes two", "\xE3\x80\x80", 2},                   // U+3000
    {"Hangul medial jamo join the syllable", "\xE1\x84\x80\xE1\x85\xA1", 2},  // U+1100 U+1161
    {"a stray continuation byte counts one",
     "a\x80"
     "b",
     3},
    {"a cut sequence counts one a byte", "\xE5\xAD", 2},
};

TEST(DisplayWidth, CountsTerminalCells)
{
    for (const WidthCase& c : kWidths)
        EXPECT_EQ(DisplayWidth(c.utf8), c.cells) << c.why;
}

TEST(CodePointWidth, ControlsHaveNoWidthOfTheirOwn)
{
    EXPECT_EQ(CodePointWidth(U'\t'), -1);
    EXPECT_EQ(CodePointWidth(0x7F), -1);
    EXPECT_EQ(CodePointWidth(0x9B), -1);
    EXPECT_EQ(CodePointWidth(0xA0), 1);
    EXPECT_EQ(CodePointWidth(0xAD), 1) << "a soft hyphen is shown";
}

// Where each column begins on screen, in cells: at the start of the line and
// after two or more blanks.
std::vector<std::size_t> ColumnStarts(const std::string& line)
{
    std::vector<std::size_t> starts;
    std::size_t cells = 0;
    std::size_t blanks = 2;
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<unsigned char>(line[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::string ch = line.substr(i, length);
        if (ch == " ") {
            ++blanks;
        } else {
            if (blanks >= 2 && DisplayWidth(ch) > 0)
                starts.push_back(cells);
            blanks = 0;
        }
        cells += DisplayWidth(ch);
        i += length;
    }
    return starts;
}

TEST(FormatTable, ColumnsLineUpOnScreenWithChineseNames)
{
    ServerRecord wide;
    wide.Name = FromUtf8("\xE5\xAD\x98\xE5\x82\xA8\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8");  // 存储服务器
    wide.IP = u"10.0.0.1";
    wide.Port = u"80";
    ServerRecord narrow;
    narrow.Name = u"nas-1";
    narrow.IP = u"10.0.0.22";
    narrow.Port = u"8080";
    ServerRecord accented;
    accented.Name = FromUtf8("cafe\xCC\x81-nas");  // café with a combining accent
    accented.IP = u"10.0.0.3";
    accented.Port = u"443";

    std::istringstream table(FormatTable({wide, narrow, accented}));
    std::vector<std::vector<std::size_t>> starts;
    for (std::string line; std::getline(table, line);)
        starts.push_back(ColumnStarts(line));
    ASSERT_EQ(starts.size(), 4u);
    // The header names every column; each row's IP and Port begin where the
    // header's do (Name, IP, Port are the first three).
    for (std::size_t row = 1; row < starts.size(); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        ASSERT_GE(starts[row].size(), 3u);
        EXPECT_EQ(starts[row][1], starts[0][1]);
        EXPECT_EQ(starts[row][2], starts[0][2]);
    }
}

TEST(FormatTable, ControlAndBidirectionalCharactersAreShownAsQuestionMarks)
{
    ServerRecord record;
    record.Name = u"a\u001B[2Jb\u009B1m\u202Ec\u2066d";
    const std::string table = FormatTable({record});
    EXPECT_NE(table.find("a?[2Jb?1m?c?d"), std::string::npos) << table;
}

}  // namespace
