#include "base/LocaleText.h"

#include "base/Utf8Codec.h"

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
    return DecodeUtf8LinesOr(bytes, [](std::string_view line) { return DecodeWithIconv(line, "GB18030"); });
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
