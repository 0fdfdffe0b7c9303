#pragma once

#include <string>

// The folder that holds the running executable, ending with '/', as 8-bit
// text in the file system's encoding (on Windows the ANSI code page, with '/'
// as the separator). Skins, res/, lang.xml and log/ live there, so that the
// program folder is portable. Falls back to "./" when the kernel cannot tell
// (no /proc), and on Windows when neither the folder's name nor its short
// (8.3) name can be written in the ANSI code page.
std::string ExecutableDir();
