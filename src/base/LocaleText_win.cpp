#include "base/LocaleText.h"

#include "base/LocaleText_win.h"
#include "base/Utf8Codec.h"

#include <climits>
#include <string>
#include <windows.h>

// 8-bit text is in the ANSI code page: the one the C library's fopen and the
// "A" file functions read paths in, so that a path encoded here opens the
// file it names. It is fixed for the life of the process.

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

constexpr char16_t kReplacement = u'\uFFFD';
constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

const wchar_t* Wide(std::u16string_view text)
{
    return reinterpret_cast<const wchar_t*>(text.data());
}

bool IsDoubleByte(UINT codePage)
{
    CPINFO info{};
    return GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
}

// Appends the decoded bytes; false, appending nothing, when a byte does not
// decode.
bool AppendStrict(UINT codePage, std::string_view in, std::u16string& out)
{
    if (in.empty())
        return true;
    if (in.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    const int inLength = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLength, nullptr, 0);
    if (n <= 0)
        return false;
    const std::size_t old = out.size();
    out.resize(old + static_cast<std::size_t>(n));
    auto* target = reinterpret_cast<wchar_t*>(out.data() + old);
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLength, target, n) != n) {
        out.resize(old);
        return false;
    }
    return true;
}

// The slow path, for text that holds bytes that do not decode: character by
// character, so that each bad byte becomes one U+FFFD and the rest survives.
std::u16string DecodeByCharacter(UINT codePage, std::string_view in)
{
    const bool doubleByte = IsDoubleByte(codePage);
    std::u16string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const auto byte = static_cast<BYTE>(in[i]);
        const std::size_t length = doubleByte && i + 1 < in.size() && IsDBCSLeadByteEx(codePage, byte) ? 2 : 1;
        if (AppendStrict(codePage, in.substr(i, length), out)) {
            i += length;
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

// How many bytes the GB18030 sequence at the start of `in` takes: 1 (ASCII),
// 2 (lead 81-FE, trail 40-7E or 80-FE) or 4 (81-FE 30-39 81-FE 30-39); 0 when
// no sequence starts there, or one is cut off by the end.
std::size_t Gb18030Length(std::string_view in)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    const auto lead = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    const auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
    if (at(0) < 0x80)
        return 1;
    if (!lead(at(0)) || in.size() < 2)
        return 0;
    if ((at(1) >= 0x40 && at(1) <= 0x7E) || (at(1) >= 0x80 && at(1) <= 0xFE))
        return 2;
    if (in.size() >= 4 && digit(at(1)) && lead(at(2)) && digit(at(3)))
        return 4;
    return 0;
}

// GB18030 sequence by sequence, each bad byte one U+FFFD: the way iconv
// reads it on Linux, so that both systems show a reply alike. Where the
// system lacks the code page (Wine 8 does), its GBK part (every two-byte
// character) still reads through code page 936; four-byte ones cannot.
std::u16string DecodeGb18030(std::string_view in)
{
    static const UINT codePage = IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
    std::u16string out;
    if (AppendStrict(codePage, in, out))
        return out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t length = Gb18030Length(in.substr(i));
        if (length > 0 && AppendStrict(codePage, in.substr(i, length), out)) {
            i += length;
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

std::u16string DecodeIn(UINT codePage, std::string_view bytes)
{
    if (codePage == CP_UTF8)
        return DecodeUtf8(bytes);
    std::u16string out;
    if (AppendStrict(codePage, bytes, out))
        return out;
    return DecodeByCharacter(codePage, bytes);
}

}  // namespace

std::u16string DecodeReplyTextIn(unsigned codePage, std::string_view bytes)
{
    if (codePage != CP_UTF8)
        return DecodeIn(codePage, bytes);
    return DecodeUtf8LinesOr(bytes, [](std::string_view line) { return DecodeGb18030(line); });
}

std::string Local8BitCodeset()
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

std::u16string DecodeLocal8Bit(std::string_view bytes)
{
    return DecodeIn(GetACP(), bytes);
}

std::u16string DecodeReplyText(std::string_view bytes)
{
    // A Windows code page is never "C": only UTF-8 (65001, the system-wide
    // beta setting) gets the GB18030 fallback, as a UTF-8 locale does on Linux.
    return DecodeReplyTextIn(GetACP(), bytes);
}

std::optional<std::string> EncodeLocal8Bit(std::u16string_view text)
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        bool valid = true;
        std::string out = EncodeUtf8(text, valid);
        if (!valid)
            return std::nullopt;
        return out;
    }
    if (text.empty())
        return std::string();
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    const int inLength = static_cast<int>(text.size());
    // No best fit: "é" must not quietly become "e" in an 8-bit path, which
    // would then name another file. A character the code page lacks, or an
    // unpaired surrogate, makes the system use its default character.
    BOOL usedDefault = FALSE;
    const int n =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, Wide(text), inLength, nullptr, 0, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, Wide(text), inLength, out.data(), n, nullptr,
                            &usedDefault) != n ||
        usedDefault)
        return std::nullopt;
    return out;
}
