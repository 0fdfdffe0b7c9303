#include "base/AppFolders.h"

#include "base/ExecutablePath.h"
#include "base/LocaleText.h"
#include "base/WindowsPath_win.h"

#include <cstdlib>
#include <shlobj.h>
#include <windows.h>

// Windows keeps a user's settings in the roaming application data folder
// (%APPDATA%\Vindrel\) and what only this machine needs, the server book and
// the log, in the local one (%LOCALAPPDATA%\Vindrel\, its log\). A portable folder (an unpacked
// archive) keeps both beside the executable, as on every system.

namespace {

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder.push_back('/');
    return folder;
}

std::wstring Wide(const std::string& path)
{
    const std::u16string text = DecodeLocal8Bit(path);
    return std::wstring(text.begin(), text.end());
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether this user may create files in `folder`. The folder's permissions
// cannot be read off an attribute (a read-only folder attribute means
// nothing on Windows), so a hidden file is made there and removed again.
bool IsWritableFolder(const std::string& folder)
{
    const std::wstring probe =
        Wide(WithSlash(folder)) + L".vindrel-write-check-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file =
        CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// A known folder as 8-bit path text ending with '/'; the environment
// variable that names it when the shell cannot say (a service account);
// empty when neither can.
std::string KnownFolder(REFKNOWNFOLDERID id, const wchar_t* variable)
{
    std::u16string path;
    wchar_t* text = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &text)) && text)
        path.assign(text, text + wcslen(text));
    CoTaskMemFree(text);
    if (path.empty()) {
        if (const wchar_t* value = _wgetenv(variable); value && *value)
            path.assign(value, value + wcslen(value));
    }
    if (path.empty())
        return {};
    return WithSlash(Local8BitPath(path).value_or(std::string()));
}

}  // namespace

FolderEnvironment CurrentFolderEnvironment()
{
    // No installed data folder: an installed Windows program keeps its skins
    // beside its executable.
    return {ExecutableDir(), KnownFolder(FOLDERID_Profile, L"USERPROFILE"),
            KnownFolder(FOLDERID_RoamingAppData, L"APPDATA"), KnownFolder(FOLDERID_LocalAppData, L"LOCALAPPDATA"),
            std::string()};
}

AppFolders FindAppFolders(const FolderEnvironment& env)
{
    AppFolders folders;
    const std::string exe = WithSlash(env.executableDir);
    const std::string installed = WithSlash(exe + env.dataFromBin);
    folders.resources =
        !IsFile(exe + "vindrel.xml") && !env.dataFromBin.empty() && IsFile(installed + "vindrel.xml") ? installed : exe;
    folders.portable = IsFile(exe + "lang.xml") && IsWritableFolder(exe);
    // Without the application data folders (no profile at all) the
    // executable's folder is the only place left.
    if (folders.portable || env.configHome.empty() || env.stateHome.empty()) {
        folders.settings = exe;
        folders.state = exe;
        folders.log = exe + "log/";
    } else {
        folders.settings = WithSlash(env.configHome) + "Vindrel/";
        folders.state = WithSlash(env.stateHome) + "Vindrel/";
        folders.log = folders.state + "log/";
    }
    return folders;
}

const AppFolders& ProgramFolders()
{
    static const AppFolders folders = FindAppFolders(CurrentFolderEnvironment());
    return folders;
}

bool MakeFolders(const std::string& folder)
{
    // The new folders inherit the permissions of the one they are made in:
    // under the application data folders, this user's alone.
    const std::wstring path = Wide(folder);
    const auto separator = [&](std::size_t i) { return path[i] == L'/' || path[i] == L'\\'; };
    // "C:" and "\\server\share" (a redirected profile) are no folders to
    // make: start after them.
    std::size_t start = 0;
    if (path.size() > 2 && separator(0) && separator(1)) {
        start = path.find_first_of(L"/\\", 2);
        start = start == std::wstring::npos ? path.size() : path.find_first_of(L"/\\", start + 1);
        if (start == std::wstring::npos)
            start = path.size();
    }
    for (std::size_t i = start; i <= path.size(); ++i) {
        if (i < path.size() && !separator(i))
            continue;
        const std::wstring part = path.substr(0, i);
        // A part that exists already is fine.
        if (part.empty() || part.back() == L':' || part.back() == L'\\' || part.back() == L'/')
            continue;
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            const DWORD attributes = GetFileAttributesW(part.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return false;
        }
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
