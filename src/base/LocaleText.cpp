#include "base/LocaleText.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <memory>
#include <string>

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsUtf8Name(std::string_view name)
{
    return name == "UTF-8" || name == "utf-8" || name == "UTF8" || name == "utf8";
}

bool IsAsciiName(std::string_view name)
{
    return name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII" || name.empty();
}

// Whether `in` is well-formed UTF-8: no stray or missing continuation
// bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
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
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
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
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (i + static_cast<std::size_t>(extra) >= n) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char cc = p[i + static_cast<std::size_t>(k)];
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

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

const char* NativeUtf16()
{
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// One converter per thread and direction, reopened when the locale's
// character set changes; iconv_t is not safe to share between threads.
class Converter
{
public:
    iconv_t Get(const std::string& to, const std::string& from)
    {
        if (m_handle != reinterpret_cast<iconv_t>(-1) && to == m_to && from == m_from) {
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);  // reset shift state
            return m_handle;
        }
        Close();
        m_handle = iconv_open(to.c_str(), from.c_str());
        m_to = to;
        m_from = from;
        return m_handle;
    }
    ~Converter() { Close(); }

private:
    void Close()
    {
        if (m_handle != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_handle);
        m_handle = reinterpret_cast<iconv_t>(-1);
    }
    iconv_t m_handle = reinterpret_cast<iconv_t>(-1);
    std::string m_to, m_from;
};

std::u16string DecodeWithIconv(std::string_view in, const std::string& codeset)
{
    thread_local Converter converter;
    iconv_t cd = converter.Get(NativeUtf16(), codeset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return DecodeUtf8(in);  // unknown character set: the best guess left

    std::u16string out;
    std::string inCopy(in);  // iconv wants a non-const input pointer
    char* src = inCopy.data();
    std::size_t srcLeft = inCopy.size();
    char16_t chunk[512];
    while (srcLeft > 0) {
        char* dst = reinterpret_cast<char*>(chunk);
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(reinterpret_cast<char16_t*>(dst) - chunk));
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ: an invalid byte; EINVAL: a sequence cut off by the end.
        out.push_back(kReplacement);
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::optional<std::string> EncodeWithIconv(std::u16string_view in, const std::string& codeset)
{
    thread_local Converter converter;
    iconv_t cd = converter.Get(codeset, NativeUtf16());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::u16string inCopy(in);
    char* src = reinterpret_cast<char*>(inCopy.data());
    std::size_t srcLeft = inCopy.size() * sizeof(char16_t);
    std::string out;
    char chunk[1024];
    for (;;) {
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t r = iconv(cd, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            return std::nullopt;
        }
        if (srcLeft == 0) {
            // Flush any closing shift sequence.
            dst = chunk;
            dstLeft = sizeof chunk;
            iconv(cd, nullptr, nullptr, &dst, &dstLeft);
            out.append(chunk, static_cast<std::size_t>(dst - chunk));
            return out;
        }
    }
}

}  // namespace

std::string Local8BitCodeset()
{
    const char* name = nl_langinfo(CODESET);
    std::string codeset = name ? name : "";
    if (IsAsciiName(codeset) || IsUtf8Name(codeset))
        return "UTF-8";
    return codeset;
}

std::u16string DecodeLocal8Bit(std::string_view bytes)
{
    const std::string codeset = Local8BitCodeset();
    if (codeset == "UTF-8")
        return DecodeUtf8(bytes);
    return DecodeWithIconv(bytes, codeset);
}

std::u16string DecodeReplyText(std::string_view bytes)
{
    const std::string codeset = Local8BitCodeset();
    if (codeset != "UTF-8")
        return DecodeWithIconv(bytes, codeset);
    if (IsValidUtf8(bytes))
        return DecodeUtf8(bytes);
    // LF (0x0A) is never part of a GB18030 or UTF-8 sequence, so the lines
    // can be cut apart before they are decoded.
    std::u16string out;
    out.reserve(bytes.size());
    for (;;) {
        const auto lf = bytes.find('\n');
        const std::string_view line = bytes.substr(0, lf);
        out += IsValidUtf8(line) ? DecodeUtf8(line) : DecodeWithIconv(line, "GB18030");
        if (lf == std::string_view::npos)
            return out;
        out.push_back(u'\n');
        bytes.remove_prefix(lf + 1);
    }
}

std::optional<std::string> EncodeLocal8Bit(std::u16string_view text)
{
    const std::string codeset = Local8BitCodeset();
    if (codeset == "UTF-8") {
        bool valid = true;
        std::string out = EncodeUtf8(text, valid);
        if (!valid)
            return std::nullopt;
        return out;
    }
    return EncodeWithIconv(text, codeset);
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
