#include "i18n/TextCatalogue.h"

#include "base/LocaleText.h"

#include <gtest/gtest.h>
#include <span>
#include <string>

namespace {

struct QueryCase
{
    const char* why;
    TextTable table;
    const char16_t* key;
    std::u16string_view language;
    const char16_t* expected;  // null: no text
};

std::ostream& operator<<(std::ostream& os, const QueryCase& c)
{
    return os << c.why;
}

constexpr auto kMain = TextTable::MainWindow;
constexpr auto kMsg = TextTable::MessageWindow;

const QueryCase kQueryCases[] = {
    // Keys ignore case, the way the skins and the tray spell them.
    {"a key in lower case finds its row", kMain, u"search_btn", u"en", u"Search"},
    {"the tray's exit key in capitals finds menu_exit", kMain, u"menu_EXIT", u"en", u"Exit"},
    {"the tray's show key in capitals finds menu_show in Chinese", kMain, u"menu_SHOW", u"zh_cn",
     u"\u663E\u793A\u4E3B\u7A97\u53E3"},
    {"a key in capitals keeps the leading space", kMain, u"TOTAL_LABEL2", u"en", u" Korvan Server."},
    // Texts whose spaces and punctuation are easy to lose.
    {"the count suffix keeps its space and ideographic full stop", kMain, u"Total_Label2", u"zh_cn",
     u" \u53F0\u670D\u52A1\u5668\u3002"},
    {"the count prefix ends with a space (English)", kMain, u"Total_Label1", u"en", u"Total find "},
    {"the count prefix ends with a space (Chinese)", kMain, u"Total_Label1", u"zh_cn", u"\u5171\u627E\u5230 "},
    {"the name header ends with a space", kMain, u"listhead_Name", u"zh_cn", u"\u540D\u79F0 "},
    {"the serial header ends with a space", kMain, u"listhead_Serial", u"zh_cn", u"\u5E8F\u5217\u53F7 "},
    {"the device type header ends with a space", kMain, u"listhead_DeviceType", u"zh_cn", u"\u8BBE\u5907\u7C7B\u578B "},
    {"the found event ends with a space (English)", kMain, u"Found_Server", u"en", u"Found Korvan Server "},
    {"the found event has spaces around the name (Chinese)", kMain, u"Found_Server", u"zh_cn",
     u"\u627E\u5230 Korvan \u670D\u52A1\u5668 "},
    {"the event label ends with a full-width colon", kMain, u"Current_Evnent", u"zh_cn",
     u"\u5F53\u524D\u4E8B\u4EF6\uFF1A"},
    {"the event label keeps its spelling", kMain, u"Current_Evnent", u"en", u"Current Evnent:"},
    {"the corrected spelling is not a key", kMain, u"Current_Event", u"en", nullptr},
    {"the Korvan header is in capitals", kMain, u"listhead_KorvanID", u"en", u"KORVANID"},
    {"OK has two spaces between its characters", kMsg, u"OK_Btn", u"zh_cn", u"\u786E  \u5B9A"},
    {"Cancel has two spaces between its characters", kMsg, u"Cancel_Btn", u"zh_cn", u"\u53D6  \u6D88"},
    {"the running notice in English", kMsg, u"Find_Running_Msg", u"en", u"Vindrel has been running..."},
    {"the running notice in Chinese keeps the space after the name", kMsg, u"find_running_msg", u"zh_cn",
     u"Vindrel \u5DF2\u7ECF\u5728\u8FD0\u884C\u4E86"},
    // Only exactly "en" is English.
    {"an empty language is Chinese", kMain, u"Search_Btn", u"", u"\u641C\u7D22"},
    {"EN in capitals is Chinese", kMain, u"Search_Btn", u"EN", u"\u641C\u7D22"},
    {"English spelt out is Chinese", kMain, u"Search_Btn", u"English", u"\u641C\u7D22"},
    {"en with a trailing line break is Chinese", kMain, u"Stop_Btn", u"en\n", u"\u505C\u6B62"},
    {"an unknown code is Chinese", kMsg, u"OK_Btn", u"fr", u"\u786E  \u5B9A"},
    // Each table knows only its own keys.
    {"the main table does not know the running notice", kMain, u"Find_Running_Msg", u"en", nullptr},
    {"the message table does not know the search button", kMsg, u"Search_Btn", u"en", nullptr},
    {"the message table does not know the tray entries", kMsg, u"menu_show", u"zh_cn", nullptr},
    // Keys match whole text against whole text.
    {"a null key has no text", kMain, nullptr, u"en", nullptr},
    {"an empty key has no text", kMain, u"", u"en", nullptr},
    {"a prefix of a key has no text", kMain, u"Search", u"en", nullptr},
    {"a key with a trailing space has no text", kMain, u"Search_Btn ", u"en", nullptr},
    {"a code unit that narrows to an ASCII letter does not fold", kMain, u"\u0153earch_Btn", u"en", nullptr},
    {"a letter whose upper case is ASCII does not fold", kMain, u"menu_\u017Fhow", u"en", nullptr},
};

class CatalogueQuery : public ::testing::TestWithParam<QueryCase>
{};

TEST_P(CatalogueQuery, GivesTheTableText)
{
    const QueryCase& c = GetParam();
    const char16_t* text = QueryCatalogueText(c.table, c.key, c.language);
    if (!c.expected) {
        EXPECT_EQ(text, nullptr);
        return;
    }
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string_view(text), std::u16string_view(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, CatalogueQuery, ::testing::ValuesIn(kQueryCases));

// Every key the skins and the program use: each answers in both languages
// from its own window's table and from no other.
TEST(Catalogue, EachTableAnswersAllItsKeysAndNoneOfTheOther)
{
    const char16_t* const kMainKeys[] = {
        u"Search_Btn", u"Stop_Btn", u"Refresh_Btn", u"listhead_Name", u"listhead_IP", u"listhead_Port",
        u"listhead_Version", u"listhead_Serial", u"listhead_Mac", u"listhead_DeviceType", u"listhead_KorvanID",
        u"listhead_UpTime", u"menu_show", u"menu_exit", u"Total_Label1", u"Total_Label2", u"Current_Evnent",
        u"Found_Server",
        // The window's texts beyond those: subtitle, filter, menus, names
        // for screen readers, status lines.
        u"Subtitle_Text", u"Filter_Edit", u"Filter_Shown", u"Menu_Btn", u"Language_Btn", u"Min_Btn", u"Max_Btn",
        u"Close_Btn", u"Search_Desc", u"Stop_Desc", u"Refresh_Desc", u"Filter_Desc", u"List_Name", u"List_Desc",
        u"menu_open_page", u"menu_copy_ip", u"menu_copy_mac", u"menu_copy_row", u"menu_wake", u"menu_export",
        u"Export_Title", u"Status_PageFailed", u"Reason_BadAddress", u"Reason_NoBrowser", u"Status_Copied",
        u"Status_WakeSent", u"Status_WakeFailed", u"Status_Exported", u"Status_ExportFailed", u"Tip_LastHeard",
        u"menu_find_address", u"menu_diagnostics", u"Status_Searching", u"Status_Stopped", u"Status_PortInUse",
        u"Holder_Unknown", u"Holder_OtherUser", u"Status_ListenFailed", u"Status_NoNetwork", u"Hint_NothingFound",
        u"Targets_Title", u"Targets_Intro", u"Targets_Placeholder", u"Targets_Add", u"Targets_Remove", u"Targets_Bad",
        u"Targets_Good", u"Dialog_OK", u"Dialog_Cancel", u"Dialog_Close", u"Dialog_Copy", u"Diagnostics_Title",
        u"Diagnostics_Checking"};
    const char16_t* const kMessageKeys[] = {u"Msg_title", u"OK_Btn", u"Cancel_Btn", u"Find_Running_Msg"};
    struct Side
    {
        TextTable own;
        TextTable other;
        std::span<const char16_t* const> keys;
    };
    const Side kSides[] = {{kMain, kMsg, kMainKeys}, {kMsg, kMain, kMessageKeys}};
    for (const Side& side : kSides) {
        for (const char16_t* key : side.keys) {
            SCOPED_TRACE(ToUtf8(key));
            for (std::u16string_view language : {kLanguageEnglish, kLanguageChinese}) {
                const char16_t* text = QueryCatalogueText(side.own, key, language);
                ASSERT_NE(text, nullptr);
                EXPECT_NE(*text, u'\0');
                EXPECT_EQ(QueryCatalogueText(side.other, key, language), nullptr);
            }
        }
    }
}

}  // namespace
