#include "book/BookFile.h"

#include "base/ErrorText.h"
#include "base/LocaleText.h"

#include <windows.h>

namespace {

std::wstring Wide(const std::string& path)
{
    const std::u16string text = DecodeLocal8Bit(path);
    return std::wstring(text.begin(), text.end());
}

}  // namespace

std::string SqliteFileName(const std::string& path) { return ToUtf8(DecodeLocal8Bit(path)); }

std::string RenameNoReplace(const std::string& from, const std::string& to)
{
    // Without MOVEFILE_REPLACE_EXISTING an existing target is an error.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0))
        return {};
    return ErrorText(static_cast<int>(GetLastError()));
}

bool FileExists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDiskFull(int systemError) { return systemError == ERROR_DISK_FULL || systemError == ERROR_HANDLE_DISK_FULL; }
