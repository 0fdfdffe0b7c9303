#pragma once

#include <string>
#include <string_view>

// The remembered interface language: the text of the first <lang> child of
// the root element of "lang.xml" in the instance directory. The program
// reads and updates that file but never creates it, so a language choice is
// remembered only where a lang.xml is installed. Nothing here is reported:
// callers fall back to their defaults. Both operations keep no state and do
// not hold the file open; call them from the UI thread.
//
// `dir` is the instance directory and must end with a path separator; the
// file name is appended as is. Path and code pass through the locale's 8-bit
// character set; a path it cannot express counts as a missing file.

// True with the code (untrimmed, possibly empty) when the file exists, parses
// and has a <lang> child of its root; false otherwise, leaving `code` alone.
bool ReadLanguagePreference(std::u16string_view dir, std::u16string& code);

// Stores `code` as the text of that <lang> element, keeping the rest of the
// document. Does nothing when the file is missing, unreadable, malformed,
// read-only or lacks <lang>, or when the new document would not read back
// with `code`; a failed save leaves the old file as it was.
void WriteLanguagePreference(std::u16string_view dir, std::u16string_view code);

// The stored code, or kLanguageChinese when it cannot be read.
std::u16string StartupLanguage(std::u16string_view dir);
