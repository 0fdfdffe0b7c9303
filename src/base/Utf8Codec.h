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
// The same reading as code points, for those who judge characters one by one
// (display widths).
std::u32string DecodeUtf8CodePoints(std::string_view in);

// `bytes` as UTF-8 where it is valid; otherwise line by line, each line that
// is not UTF-8 through `decodeOther` (a GB18030 decoder). LF (0x0A) is never
// part of a GB18030 or UTF-8 sequence, so the lines can be cut apart first.
template <typename DecodeOther>
std::u16string DecodeUtf8LinesOr(std::string_view bytes, DecodeOther&& decodeOther)
{
    if (IsValidUtf8(bytes))
        return DecodeUtf8(bytes);
    std::u16string out;
    out.reserve(bytes.size());
    for (;;) {
        const auto lf = bytes.find('\n');
        const std::string_view line = bytes.substr(0, lf);
        out += IsValidUtf8(line) ? DecodeUtf8(line) : decodeOther(line);
        if (lf == std::string_view::npos)
            return out;
        out.push_back(u'\n');
        bytes.remove_prefix(lf + 1);
    }
}

// Unpaired surrogates become U+FFFD and clear `valid`; otherwise `valid` is set.
std::string EncodeUtf8(std::u16string_view in, bool& valid);
