// How attribute lists change a button's look, and that junk never hurts.
#include "uilib/AttributeList.h"
#include "uilib/SkinButton.h"

#include <gtest/gtest.h>

namespace {
const char16_t kIdleSearch[] = u"normalimage=\"file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'\" "
                               u"pushedimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" "
                               u"textcolor=\"#FF000000\" pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" "
                               u"hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" pushedtextcolor=\"#FFFFFFFF\"";
const char16_t kActiveSearch[] =
    u"normalimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" "
    u"textcolor=\"#FFFFFFFF\" pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";

struct LookCase
{
    const char* why;
    std::vector<std::u16string> lists;  // applied in order
    const char16_t* normalImage;
    const char16_t* pushedImage;
    const char* textColor;  // "" = unset
    const char* pushedTextColor;
    const char* bkColor;
    const char* pushedBkColor;
};

std::string Hex(const std::optional<QColor>& c)
{
    return c ? c->name(QColor::HexArgb).toUpper().toStdString() : std::string();
}

class ButtonLookTest : public ::testing::TestWithParam<LookCase>
{};

TEST_P(ButtonLookTest, AppliesNamedAttributesAndKeepsTheRest)
{
    const LookCase& c = GetParam();
    SkinButton button;
    for (const auto& list : c.lists)
        button.ApplyAttributeList(QString::fromStdU16String(list));
    const auto& look = button.GetLook();
    EXPECT_EQ(look.NormalImage.Value, QString::fromUtf16(c.normalImage));
    EXPECT_EQ(look.PushedImage.Value, QString::fromUtf16(c.pushedImage));
    EXPECT_EQ(Hex(look.TextColor), c.textColor);
    EXPECT_EQ(Hex(look.PushedTextColor), c.pushedTextColor);
    EXPECT_EQ(Hex(look.BkColor), c.bkColor);
    EXPECT_EQ(Hex(look.PushedBkColor), c.pushedBkColor);
}

const char16_t kSearchNormal[] = u"file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'";
const char16_t kSearchSelected[] = u"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'";

INSTANTIATE_TEST_SUITE_P(
    Looks, ButtonLookTest,
    ::testing::Values(LookCase{"the idle look, pushedtextcolor named twice, sets all it names",
                               {kIdleSearch},
                               kSearchNormal,
                               kSearchSelected,
                               "#FF000000",
                               "#FFFFFFFF",
                               "#FFB0BBC7",
                               "#FF4B74B4"},
                      LookCase{"the active look after the idle one keeps the pushed image and pushed background",
                               {kIdleSearch, kActiveSearch},
                               kSearchSelected,
                               kSearchSelected,
                               "#FFFFFFFF",
                               "#FFFFFFFF",
                               "#FF4B74B4",
                               "#FF4B74B4"},
                      LookCase{"a repeated attribute ends with its last value",
                               {u"pushedtextcolor=\"#FF112233\" pushedtextcolor=\"#FF445566\""},
                               u"",
                               u"",
                               "",
                               "#FF445566",
                               "",
                               ""},
                      LookCase{"a colour that does not parse keeps the colour before",
                               {u"bkcolor=\"#FF010203\"", u"bkcolor=\"#XYZ\" textcolor=\"red\""},
                               u"",
                               u"",
                               "",
                               "",
                               "#FF010203",
                               ""},
                      LookCase{"pairs before a broken one stay applied",
                               {u"textcolor=\"#FF0A0B0C\" bkcolor=\"#FF000001"},
                               u"",
                               u"",
                               "#FF0A0B0C",
                               "",
                               "",
                               ""},
                      LookCase{"a bare image path is an image too",
                               {u"normalimage=\"res\\common\\restore.png\""},
                               u"res\\common\\restore.png",
                               u"",
                               "",
                               "",
                               "",
                               ""},
                      LookCase{
                          "six-digit colours are opaque", {u"bkcolor=\"#4B74B4\""}, u"", u"", "", "", "#FF4B74B4", ""},
                      LookCase{"names ignore case, unknown names are skipped",
                               {u"TextColor=\"#FF000000\" sparkle=\"yes\" BKCOLOR=\"#80FFFFFF\""},
                               u"",
                               u"",
                               "#FF000000",
                               "",
                               "#80FFFFFF",
                               ""}));

struct ParseCase
{
    const char* why;
    const char16_t* text;
    std::vector<std::pair<std::u16string, std::u16string>> pairs;
};

class AttributeParseTest : public ::testing::TestWithParam<ParseCase>
{};

TEST_P(AttributeParseTest, YieldsTheWellFormedPairsBeforeAnyJunk)
{
    const ParseCase& c = GetParam();
    const auto pairs = ParseAttributeList(QString::fromUtf16(c.text));
    ASSERT_EQ(pairs.size(), c.pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(pairs[i].first, QString::fromStdU16String(c.pairs[i].first));
        EXPECT_EQ(pairs[i].second, QString::fromStdU16String(c.pairs[i].second));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Junk, AttributeParseTest,
    ::testing::Values(ParseCase{"empty text", u"", {}}, ParseCase{"blanks only", u"   \t ", {}},
                      ParseCase{"blanks around '=' are allowed", u"a = \"1\"  b=\"2\"", {{u"a", u"1"}, {u"b", u"2"}}},
                      ParseCase{"single quotes inside a value stay", u"x=\"file='a b'\"", {{u"x", u"file='a b'"}}},
                      ParseCase{"an empty value is a value", u"x=\"\"", {{u"x", u""}}},
                      ParseCase{"a name without value ends the list", u"a=\"1\" b c=\"3\"", {{u"a", u"1"}}},
                      ParseCase{"an unquoted value ends the list", u"a=1", {}},
                      ParseCase{"a missing name ends the list", u"=\"1\"", {}},
                      ParseCase{"an open quote ends the list", u"a=\"1", {}}));

TEST(ImageSpec, ReadsFileAndDestWithBackslashes)
{
    const ImageSpec image = ParseImageSpec(QStringLiteral("file='res\\mainwnd\\x.png' dest='10,13,26,29'"));
    EXPECT_EQ(image.File, QStringLiteral("res\\mainwnd\\x.png"));
    ASSERT_TRUE(image.Dest.has_value());
    EXPECT_EQ(*image.Dest, QRect(QPoint(10, 13), QSize(16, 16)));
    EXPECT_FALSE(ParseImageSpec(QStringLiteral("file='x.png' dest='1,2,3'")).Dest.has_value());
    EXPECT_FALSE(ParseImageSpec(QStringLiteral("file='x.png' dest='5,5,1,1'")).Dest.has_value());
    // A width that int cannot hold (found by fuzzing: signed overflow).
    EXPECT_FALSE(ParseImageSpec(QStringLiteral("file='x.png' dest='-2147483648,0,2147483647,10'")).Dest.has_value());
    EXPECT_FALSE(ParseImageSpec(QStringLiteral("file='x.png' dest='0,-2147483648,10,2147483647'")).Dest.has_value());
}
}  // namespace
