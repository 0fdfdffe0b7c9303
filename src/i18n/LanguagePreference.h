#pragma once

#include <string>
#include <string_view>

// The remembered interface language: the text of the first <lang> child of
// the root element of "lang.xml" in the settings folder. A portable program
// folder reads and updates the lang.xml installed in it but never creates
// one; the user's own settings folder gets one on the first write. Nothing here is reported:
// callers fall back to their defaults. Both operations keep no state and do
// not hold the file open; call them from the UI thread.
//
// `dir` is the instance directory and must end with a path separator; the
// file name is appended as is. Path and code pass through the locale's 8-bit
// character set; a path it cannot express counts as a missing file.

// True with the code (untrimmed, possibly empty) when the file exists, parses
// and has a <lang> child of its root; false otherwise, leaving `code` alone.
bool ReadLanguagePreference(std::u16string_view dir, std::u16string& code);

// What a write does where there is no lang.xml yet.
enum class IfMissing {
    kLeave,   // nothing: the choice holds for this run only
    kCreate,  // makes the folder (private) and a new lang.xml holding `code`
};

// Stores `code` as the text of that <lang> element, keeping the rest of the
// document. Does nothing when the file is unreadable, malformed, read-only
// or lacks <lang>, or when the new document would not read back with
// `code`; a failed save leaves the old file as it was. A missing file is
// left missing or created, as `ifMissing` says.
void WriteLanguagePreference(std::u16string_view dir, std::u16string_view code,
                             IfMissing ifMissing = IfMissing::kLeave);

// The stored code, or kLanguageChinese when it cannot be read.
std::u16string StartupLanguage(std::u16string_view dir);

// The language for a desktop locale such as "zh_CN" or "de_DE.UTF-8":
// Chinese for every "zh" locale, English for the rest.
std::u16string LanguageOfLocale(std::string_view locale);
