#include "base/ExecutablePath.h"

#include <climits>
#include <unistd.h>

std::string ExecutableDir()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer))
        return "./";
    std::string path(buffer, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    path.resize(slash + 1);
    return path;
}
