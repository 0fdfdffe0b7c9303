#include "base/JsonLayout.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

struct LayoutCase
{
    const char* why;
    Json value;
    const char* text;
};

// The shapes the scanner's --json and --diagnose --json write; scripts read them.
const LayoutCase kLayouts[] = {
    {"an empty list stays on one line", Json::array(), "[]\n"},
    {"a list has one object a line, each object on one line",
     Json::array({Json{{"Name", "a"}, {"Port", "80"}}, Json{{"Name", "b"}, {"Port", "81"}}}),
     "[\n  {\"Name\": \"a\", \"Port\": \"80\"},\n  {\"Name\": \"b\", \"Port\": \"81\"}\n]\n"},
    {"keys keep the order they were added in", Json{{"z", 1}, {"a", 2}}, "{\n  \"z\": 1,\n  \"a\": 2\n}\n"},
    {"an array inside the top object has one element a line, deeper ones stay inline",
     Json{{"causes", Json::array({Json{{"id", "x"}, {"places", Json::array({"p", "q"})}}})}, {"none", Json::array()}},
     "{\n  \"causes\": [\n    {\"id\": \"x\", \"places\": [\"p\", \"q\"]}\n  ],\n  \"none\": []\n}\n"},
    {"an object inside the top object stays inline",
     Json{{"listener", Json{{"state", "listening"}, {"error", nullptr}}}},
     "{\n  \"listener\": {\"state\": \"listening\", \"error\": null}\n}\n"},
    {"quotes, backslashes and controls are escaped", Json::array({"a\"b\\c\n\x01"}),
     "[\n  \"a\\\"b\\\\c\\n\\u0001\"\n]\n"},
};

TEST(FormatJsonLines, LaysOutAsScriptsReadIt)
{
    for (const LayoutCase& c : kLayouts)
        EXPECT_EQ(FormatJsonLines(c.value), c.text) << c.why;
}

TEST(FormatJsonLines, NumbersIgnoreADecimalCommaLocale)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/setup.sh makes it)";
    const std::string text = FormatJsonLines(Json{{"searchSeconds", 1.0}, {"half", 2.5}});
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "{\n  \"searchSeconds\": 1.0,\n  \"half\": 2.5\n}\n");
}

TEST(JsonString, BytesThatAreNotUtf8BecomeReplacementCharacters)
{
    EXPECT_EQ(JsonString(std::string_view("eth\xFF" "0")).get<std::string>(), "eth\xEF\xBF\xBD" "0");
    EXPECT_EQ(JsonString(std::string_view("\xE5\xAD")).get<std::string>(), "\xEF\xBF\xBD\xEF\xBF\xBD")
        << "a cut sequence: one a byte";
    EXPECT_EQ(JsonString(u"\xD800x").get<std::string>(), "\xEF\xBF\xBDx") << "an unpaired surrogate";
}

}  // namespace
