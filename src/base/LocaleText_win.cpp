#include "base/LocaleText.h"

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

}  // namespace

std::string Local8BitCodeset()
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

std::u16string DecodeLocal8Bit(std::string_view bytes)
{
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return DecodeUtf8(bytes);
    std::u16string out;
    if (AppendStrict(codePage, bytes, out))
        return out;
    return DecodeByCharacter(codePage, bytes);
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
