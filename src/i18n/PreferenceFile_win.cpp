#include "i18n/PreferenceFile.h"

#include "base/AppFolders.h"

#include <string>
#include <windows.h>

// Paths are in the ANSI code page, so the "A" functions take them as they
// are, as the C library's fopen (tinyxml2) does.

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The file a path names in the end: CreateFile follows links (symbolic links
// and junctions); a dangling one does not open. BACKUP_SEMANTICS opens
// folders too, so that they can be told apart.
HANDLE OpenFinal(const std::string& path, DWORD access)
{
    return CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A regular file, and with `writable` one whose read-only attribute is off:
// an administrator (or root under Wine) may open such a file for writing
// all the same, but its owner said it is not to be changed.
bool IsRegular(HANDLE file, bool writable = false)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(writable && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY));
}

// "\\?\C:\x" is "C:\x" and "\\?\UNC\host\share" is "\\host\share", as the
// rest of the program writes paths.
std::string WithoutLongPathPrefix(std::string path)
{
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

bool WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 1u << 20 ? 1u << 20 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A new file beside `target`, named after it and this process; the caller
// removes or moves it.
HANDLE CreateBeside(const std::string& target, std::string& temp)
{
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp = target + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        const HANDLE file =
            CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool IsRegularFile(const std::string& path)
{
    const HANDLE file = OpenFinal(path, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool regular = IsRegular(file);
    CloseHandle(file);
    return regular;
}

std::optional<std::string> WritableTarget(const std::string& path)
{
    // Opening for writing asks what the file's permissions and its read-only
    // attribute allow, and changes nothing.
    const HANDLE file = OpenFinal(path, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<std::string> target;
    if (IsRegular(file, true)) {
        std::string final(MAX_PATH, '\0');
        DWORD n = GetFinalPathNameByHandleA(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
        if (n >= final.size()) {
            final.resize(n);
            n = GetFinalPathNameByHandleA(file, final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
        }
        if (n > 0 && n < final.size()) {
            final.resize(n);
            target = WithoutLongPathPrefix(final);
        }
    }
    CloseHandle(file);
    return target;
}

bool ReplaceFileContents(const std::string& target, std::string_view bytes)
{
    std::string temp;
    const HANDLE file = CreateBeside(target, temp);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = WriteAll(file, bytes);
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    // ReplaceFile keeps the target's permissions, and on Windows its
    // attributes (hidden, say); Wine's does not carry those over, so the new
    // file takes them first. The target stays as it was when anything fails.
    const DWORD attributes = GetFileAttributesA(target.c_str());
    ok = ok && attributes != INVALID_FILE_ATTRIBUTES &&
         SetFileAttributesA(temp.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    ok = ok && ReplaceFileA(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    if (!ok) {
        SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(temp.c_str());
    }
    return ok;
}

bool IsMissing(const std::string& path)
{
    // A dangling link still has attributes of its own.
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool CreateFileContents(const std::string& path, std::string_view bytes)
{
    // Cut at the program's own separator, '/': in a double-byte code page a
    // backslash byte may be half of a character (and std::filesystem would read
    // the 8-bit path in another character set).
    const auto separator = path.rfind('/');
    if (separator == std::string::npos || !MakeFolders(path.substr(0, separator + 1)))
        return false;
    // Written beside it, then moved into place, as a replacement is; the
    // file takes the permissions of its folder, the user's own under the
    // application data folder.
    std::string temp;
    const HANDLE file = CreateBeside(path, temp);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = WriteAll(file, bytes);
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}
