#pragma once

#include <string>
#include <string_view>

// UTF-8 <-> UTF-16, the same on every platform: the locale conversions use it
// for UTF-8 character sets, and ToUtf8/FromUtf8 (LocaleText.h) are it.

// Whether `in` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view in);

// Never fails: a byte that starts no valid sequence (stray, cut off,
// overlong, an encoded surrogate, beyond U+10FFFF) becomes one U+FFFD.
std::u16string DecodeUtf8(std::string_view in);

// Unpaired surrogates become U+FFFD and clear `valid`; otherwise `valid` is set.
std::string EncodeUtf8(std::u16string_view in, bool& valid);
