#include "base/ExecutablePath.h"

#include "base/LocaleText.h"

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

// "\\?\C:\x" is "C:\x" and "\\?\UNC\host\share" is "\\host\share": the
// 8-bit file functions take neither prefix.
std::u16string WithoutLongPathPrefix(std::u16string path)
{
    if (path.starts_with(u"\\\\?\\UNC\\"))
        return u"\\\\" + path.substr(8);
    if (path.starts_with(u"\\\\?\\"))
        return path.substr(4);
    return path;
}

std::optional<std::u16string> ShortPath(const std::u16string& folder)
{
    const std::wstring wide(folder.begin(), folder.end());
    std::wstring shortPath(kLongestPath, L'\0');
    const DWORD n = GetShortPathNameW(wide.c_str(), shortPath.data(), kLongestPath);
    if (n == 0 || n >= kLongestPath)
        return std::nullopt;
    return std::u16string(shortPath.begin(), shortPath.begin() + n);
}

// Separators become '/' in UTF-16, before encoding: in a double-byte code
// page the byte '\' can be the second half of a character.
std::optional<std::string> Encode(std::u16string folder)
{
    for (char16_t& c : folder) {
        if (c == u'\\')
            c = u'/';
    }
    return EncodeLocal8Bit(folder);
}

}  // namespace

std::string ExecutableDir()
{
    const std::u16string path = WithoutLongPathPrefix(ModulePath());
    const auto separator = path.find_last_of(u"\\/");
    if (separator == std::u16string::npos)
        return "./";
    const std::u16string folder = path.substr(0, separator + 1);
    if (std::optional<std::string> text = Encode(folder))
        return *text;
    // A folder name outside the ANSI code page: its short (8.3) name is
    // ASCII where the volume keeps short names.
    if (const std::optional<std::u16string> shortFolder = ShortPath(folder)) {
        if (std::optional<std::string> text = Encode(*shortFolder))
            return *text;
    }
    return "./";
}
