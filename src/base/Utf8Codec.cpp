#include "base/Utf8Codec.h"

#include "base/LocaleText.h"

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// Walks UTF-16 code points; unpaired surrogates come out as U+FFFD with
// `valid` cleared.
template <typename Sink>
void ForEachCodePoint(std::u16string_view in, bool& valid, Sink sink)
{
    valid = true;
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            valid = false;
            cp = kReplacement;
        }
        sink(cp);
    }
}

// The code point at `i`, moving `i` past it; a byte that starts no valid
// sequence is one U+FFFD.
char32_t NextCodePoint(std::string_view in, std::size_t& i)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    const unsigned char c = p[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + static_cast<std::size_t>(extra) >= n) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char cc = p[i + static_cast<std::size_t>(k)];
        if ((cc & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

}  // namespace

bool IsValidUtf8(std::string_view in)
{
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                low = 0xA0;  // overlong below U+0800
            else if (c == 0xED)
                high = 0x9F;  // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                low = 0x90;  // overlong below U+10000
            else if (c == 0xF4)
                high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        if (p[i + 1] < low || p[i + 1] > high)
            return false;
        for (std::size_t k = 2; k <= extra; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

std::u16string DecodeUtf8(std::string_view in)
{
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp = NextCodePoint(in, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::u32string DecodeUtf8CodePoints(std::string_view in)
{
    std::u32string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();)
        out.push_back(NextCodePoint(in, i));
    return out;
}

std::string EncodeUtf8(std::u16string_view in, bool& valid)
{
    std::string out;
    out.reserve(in.size());
    ForEachCodePoint(in, valid, [&out](char32_t cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    });
    return out;
}

std::string ToUtf8(std::u16string_view text)
{
    bool valid = true;
    return EncodeUtf8(text, valid);
}

std::u16string FromUtf8(std::string_view bytes)
{
    return DecodeUtf8(bytes);
}
