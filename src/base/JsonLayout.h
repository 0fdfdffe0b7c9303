#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

// Every JSON the program writes is built as an ordered_json (members stay in
// the order they were added) and laid out here, so that numbers never follow
// the locale and strings are always escaped the same way.
using Json = nlohmann::ordered_json;

// UTF-8 text ending with LF. The outer object or array and the arrays right
// inside it have one member a line, indented by two spaces a level; anything
// deeper stays on one line as {"key": value, "key": value}. Scripts and the
// lab tests read this shape: change it only with them.
std::string FormatJsonLines(const Json& value);

// A string value from text that may not be UTF-8 (an interface name, a
// tool's message): each byte that starts no valid sequence becomes U+FFFD,
// as FromUtf8 reads it.
Json JsonString(std::string_view utf8);
Json JsonString(std::u16string_view text);
