#pragma once

#include <string>
#include <string_view>

// JSON string literals, quotes included, for every JSON the discovery layer
// writes (the server list of discovery/ServerExport.h, the diagnosis of
// discovery/Diagnosis.h): UTF-8 out, quote, backslash and control
// characters escaped, anything else as it is.
std::string JsonString(std::u16string_view text);
// `utf8` that is not valid UTF-8 (an interface name, a tool's message) has
// each bad byte replaced by U+FFFD, so the result is always valid JSON.
std::string JsonString(std::string_view utf8);
