#include "base/ExecutablePath.h"

#include "base/WindowsPath_win.h"

#include <optional>
#include <string>
#include <windows.h>

namespace {

constexpr DWORD kLongestPath = 32768;  // the system's limit for any path

// The executable's full path as the system reports it; empty when it cannot.
std::u16string ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return std::u16string(path.begin(), path.end());
        }
        // Cut off: the result fills the buffer exactly.
        if (path.size() >= kLongestPath)
            return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ExecutableDir()
{
    const std::u16string path = ModulePath();
    const auto separator = path.find_last_of(u"\\/");
    if (separator == std::u16string::npos)
        return "./";
    // A folder name outside the ANSI code page: its short (8.3) name is
    // ASCII where the volume keeps short names.
    return Local8BitPath(path.substr(0, separator + 1)).value_or("./");
}
