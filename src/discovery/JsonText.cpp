#include "discovery/JsonText.h"

#include "base/LocaleText.h"

#include <cstdio>

namespace {

std::string Escape(const std::string& utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

}  // namespace

std::string JsonString(std::u16string_view text)
{
    return Escape(ToUtf8(text));
}

std::string JsonString(std::string_view utf8)
{
    return Escape(ToUtf8(FromUtf8(utf8)));
}
