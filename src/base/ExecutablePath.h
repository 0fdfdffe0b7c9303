#pragma once

#include <string>

// The folder that holds the running executable, ending with '/', as 8-bit
// text in the file system's encoding. Skins, res/, lang.xml and log/ live
// there, so that the program folder is portable. Falls back to "./" when the
// kernel cannot tell (no /proc).
std::string ExecutableDir();
