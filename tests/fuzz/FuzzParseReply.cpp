// libFuzzer target for reply parsing with the locale's text decoding, fed the
// way the listener feeds it: 1 to 2047 bytes from a datagram. The first byte
// picks the locale (UTF-8 or, when installed, GB18030) and is not part of
// the datagram. Aborts when
//  - a field holds a line end or a NUL (a field would spill into the next),
//  - a field differs from its own line decoded on its own (a bad byte
//    swallowed a line end and shifted every later field),
//  - a field is not valid UTF-16, or grows beyond its bytes,
//  - IP or Mac is not what the listener passed in.

#include "base/LocaleText.h"
#include "discovery/ServerRecord.h"

#include <array>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kLargestReply = 2047;
constexpr std::array<const char*, 2> kLocales = {"C.UTF-8", "zh_CN.GB18030"};
bool g_haveGb18030 = false;

// Line k of the reply (0-based) as the server sent it, or nullopt when the
// reply has no LF-ended line k.
std::vector<std::string_view> EndedLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (lines.size() < 8) {
        const auto lf = text.find('\n');
        if (lf == std::string_view::npos)
            break;
        lines.push_back(text.substr(0, lf));
        text.remove_prefix(lf + 1);
    }
    return lines;
}

bool IsValidUtf16(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_haveGb18030 = std::setlocale(LC_ALL, kLocales[1]) != nullptr;
    std::setlocale(LC_ALL, kLocales[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2 || size - 1 > kLargestReply)
        return -1;  // no datagram the listener would parse
    const bool gb18030 = g_haveGb18030 && (data[0] & 1) != 0;
    if (!std::setlocale(LC_ALL, kLocales[gb18030 ? 1 : 0]))
        std::abort();
    const std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);

    const MacAddress mac = {0x00, 0x11, 0x32, 0xAB, 0xCD, static_cast<std::uint8_t>(size)};
    const ServerRecord record = ParseReply(payload, "10.21.1.1", mac);
    Check(record.IP == u"10.21.1.1");
    Check(record.Mac == FormatMac(mac));
    Check(ParseReply(payload, "10.21.1.1", std::nullopt).Mac.empty());

    const std::string_view text = payload.substr(0, payload.find('\0'));
    const std::vector<std::string_view> lines = EndedLines(text);
    // Field of each wire line; line 6 (the server's MAC text) is never kept.
    constexpr std::array<std::size_t, 8> kFieldOfLine = {0, 2, 3, 4, 6, 5, 7, 8};
    for (std::size_t line = 0; line < kFieldOfLine.size(); ++line) {
        if (line == 5)
            continue;
        const std::u16string& field = record.Field(kFieldOfLine[line]);
        Check(field.find(u'\n') == std::u16string::npos && field.find(u'\0') == std::u16string::npos);
        Check(IsValidUtf16(field));
        if (line < lines.size()) {
            Check(field.size() <= lines[line].size());
            Check(field == DecodeReplyText(lines[line]));
        } else {
            Check(field.empty());
        }
    }
    return 0;
}
