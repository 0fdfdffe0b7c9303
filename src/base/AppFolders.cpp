#include "base/AppFolders.h"

#include "base/ExecutablePath.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string EnvOrEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder.push_back('/');
    return folder;
}

bool IsFile(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are invalid and ignored), else the default under $HOME.
std::string BaseFolder(const std::string& variable, const std::string& home, const char* fallback)
{
    if (!variable.empty() && variable.front() == '/')
        return WithSlash(variable);
    return WithSlash(home.empty() ? std::string("/") : home) + fallback;
}

}  // namespace

FolderEnvironment CurrentFolderEnvironment()
{
    return {ExecutableDir(), EnvOrEmpty("HOME"), EnvOrEmpty("XDG_CONFIG_HOME"), EnvOrEmpty("XDG_STATE_HOME"),
            VINDREL_DATA_DIR_FROM_BIN};
}

AppFolders FindAppFolders(const FolderEnvironment& env)
{
    AppFolders folders;
    const std::string exe = WithSlash(env.executableDir);
    const std::string installed = WithSlash(exe + env.dataFromBin);
    folders.resources =
        !IsFile(exe + "vindrel.xml") && !env.dataFromBin.empty() && IsFile(installed + "vindrel.xml") ? installed : exe;
    folders.portable = IsFile(exe + "lang.xml") && ::access(exe.c_str(), W_OK) == 0;
    if (folders.portable) {
        folders.settings = exe;
        folders.state = exe;
        folders.log = exe + "log/";
    } else {
        folders.settings = BaseFolder(env.configHome, env.home, ".config/") + "vindrel/";
        folders.state = BaseFolder(env.stateHome, env.home, ".local/state/") + "vindrel/";
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
    std::string path;
    for (std::size_t i = 0; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') {
            path.push_back(folder[i]);
            continue;
        }
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (i < folder.size())
            path.push_back('/');
    }
    struct stat st
    {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
