#include "base/WindowsPath_win.h"

#include "base/LocaleText.h"

#include <windows.h>

namespace {

constexpr DWORD kLongestPath = 32768;  // the system's limit for any path

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

std::optional<std::u16string> ShortPath(const std::u16string& path)
{
    const std::wstring wide(path.begin(), path.end());
    std::wstring shortPath(kLongestPath, L'\0');
    const DWORD n = GetShortPathNameW(wide.c_str(), shortPath.data(), kLongestPath);
    if (n == 0 || n >= kLongestPath)
        return std::nullopt;
    return std::u16string(shortPath.begin(), shortPath.begin() + n);
}

// Separators become '/' in UTF-16, before encoding: in a double-byte code
// page the byte '\' can be the second half of a character.
std::optional<std::string> Encode(std::u16string path)
{
    for (char16_t& c : path) {
        if (c == u'\\')
            c = u'/';
    }
    return EncodeLocal8Bit(path);
}

}  // namespace

std::optional<std::string> Local8BitPath(std::u16string path)
{
    path = WithoutLongPathPrefix(std::move(path));
    if (std::optional<std::string> text = Encode(path))
        return text;
    if (const std::optional<std::u16string> shortPath = ShortPath(path))
        return Encode(*shortPath);
    return std::nullopt;
}
