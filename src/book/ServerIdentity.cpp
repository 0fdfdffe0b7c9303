#include "book/ServerIdentity.h"

#include "base/LocaleText.h"

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\u00A0' ||
           c == u'\u3000';
}

}  // namespace

std::u16string TrimmedField(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::u16string(text);
}

std::string ServerIdentity(const ServerRecord& record)
{
    if (const std::u16string id = TrimmedField(record.KorvanID); !id.empty())
        return ToUtf8(id);
    const std::u16string serial = TrimmedField(record.Serial);
    const std::u16string mac = TrimmedField(record.Mac);
    if (!mac.empty())
        return serial.empty() ? "mac:" + ToUtf8(mac) : "serial:" + ToUtf8(serial) + "/mac:" + ToUtf8(mac);
    return "ip:" + ToUtf8(TrimmedField(record.IP));
}
