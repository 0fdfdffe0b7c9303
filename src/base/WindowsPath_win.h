#pragma once

#include <optional>
#include <string>

// A path the system gave in UTF-16 as the program's 8-bit path text: '\'
// becomes '/', the "\\?\" prefix goes, and the text is in the ANSI code page
// (base/LocaleText.h). A path the code page cannot write is tried once more
// as its short (8.3) name, which is ASCII where the volume keeps short
// names; nullopt when neither works. Windows only.
std::optional<std::string> Local8BitPath(std::u16string path);
