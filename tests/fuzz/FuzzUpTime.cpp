// libFuzzer target for the up-time reader: the bytes as UTF-8 (as a reply's
// field arrives after decoding). Aborts when
//  - a duration comes out negative or beyond a million days,
//  - blanks around the text or upper-case letters change the answer,
//  - the same text gives two answers.

#include "base/LocaleText.h"
#include "book/UpTime.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256)
        return 0;  // an up-time field is a line of a datagram; longer says nothing new
    const std::u16string text = FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto parsed = ParseUpTime(text);
    if (parsed && (parsed->count() < 0 || parsed->count() > 1000000LL * 86400))
        std::abort();
    if (ParseUpTime(text) != parsed)
        std::abort();
    if (ParseUpTime(u"  " + text + u"\r") != parsed)
        std::abort();
    std::u16string upper = text;
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    if (ParseUpTime(upper) != parsed)
        std::abort();
    return 0;
}
