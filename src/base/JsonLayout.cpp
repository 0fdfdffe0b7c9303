#include "base/JsonLayout.h"

#include "base/LocaleText.h"

namespace {

std::string Scalar(const Json& value)
{
    // The strings put in are valid UTF-8 already (JsonString); replacing
    // instead of throwing keeps a stray one from ending the program.
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Inline(const Json& value, std::string& out)
{
    if (value.is_object()) {
        out += '{';
        const char* separator = "";
        for (const auto& member : value.items()) {
            out += separator + Scalar(Json(member.key())) + ": ";
            Inline(member.value(), out);
            separator = ", ";
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        const char* separator = "";
        for (const Json& element : value) {
            out += separator;
            Inline(element, out);
            separator = ", ";
        }
        out += ']';
    } else {
        out += Scalar(value);
    }
}

// `depth` 0 is the outer value; it and the arrays right inside it go one
// member a line.
void Lines(const Json& value, int depth, std::string& out)
{
    const bool broken = !value.empty() && (depth == 0 ? value.is_structured() : depth == 1 && value.is_array());
    if (!broken) {
        Inline(value, out);
        return;
    }
    const std::string indent(static_cast<std::size_t>(2 * (depth + 1)), ' ');
    out += value.is_object() ? "{" : "[";
    const char* separator = "\n";
    if (value.is_object()) {
        for (const auto& member : value.items()) {
            out += separator + indent + Scalar(Json(member.key())) + ": ";
            Lines(member.value(), depth + 1, out);
            separator = ",\n";
        }
    } else {
        for (const Json& element : value) {
            out += separator + indent;
            Lines(element, depth + 1, out);
            separator = ",\n";
        }
    }
    out += "\n" + std::string(static_cast<std::size_t>(2 * depth), ' ') + (value.is_object() ? "}" : "]");
}

}  // namespace

std::string FormatJsonLines(const Json& value)
{
    std::string out;
    Lines(value, 0, out);
    return out + "\n";
}

Json JsonString(std::string_view utf8)
{
    return ToUtf8(FromUtf8(utf8));
}

Json JsonString(std::u16string_view text)
{
    return ToUtf8(text);
}
