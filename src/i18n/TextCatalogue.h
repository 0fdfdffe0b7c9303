#pragma once

#include <string_view>

// The built-in texts of every control that speaks the user's language. A
// control carries a short key (e.g. "Search_Btn") instead of its text; the
// window's text source answers from its own table in the current language.

// Scanner: vindrel-scan's lines for people on standard error.
enum class TextTable { MainWindow, MessageWindow, Scanner };

inline constexpr std::u16string_view kLanguageEnglish = u"en";
inline constexpr std::u16string_view kLanguageChinese = u"zh_cn";

// Text for `key` (may be null; compared ignoring ASCII case) from `table` in
// `language`: exactly "en" selects English, every other value (empty, "EN",
// "zh_cn", whatever lang.xml held) Chinese. Null for a null key or a key the
// table does not hold. The result has static storage duration and is
// null-terminated. Pure: safe to call from any thread.
const char16_t* QueryCatalogueText(TextTable table, const char16_t* key, std::u16string_view language);
