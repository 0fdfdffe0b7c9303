#pragma once

#include <string>
#include <string_view>

// DecodeReplyText as it reads under the ANSI code page `codePage` (a
// Windows code page number; 65001 is UTF-8): for tests, which cannot choose
// the code page of the process they run in. Windows only.
std::u16string DecodeReplyTextIn(unsigned codePage, std::string_view bytes);
