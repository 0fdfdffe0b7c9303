#include "app/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string EnvOrEmpty(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// ":0.1" and ":0" are screens of one X display, so one session: drop the
// screen number after the display number.
std::string SessionOfXDisplay(std::string display)
{
    const auto colon = display.rfind(':');
    if (colon == std::string::npos)
        return display;
    const auto dot = display.find('.', colon);
    if (dot != std::string::npos)
        display.resize(dot);
    return display;
}

// A display name may hold '/' (a socket path); keep the name one path element.
std::string FileNameSafe(std::string_view text)
{
    std::string safe;
    for (const char c : text)
        safe += (c == '/' || c == '\0') ? '_' : c;
    return safe;
}

std::string SystemError(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

SingleInstance::Environment SingleInstance::CurrentEnvironment()
{
    return {EnvOrEmpty("XDG_RUNTIME_DIR"), EnvOrEmpty("DISPLAY"), EnvOrEmpty("WAYLAND_DISPLAY"),
            static_cast<unsigned>(getuid())};
}

std::string SingleInstance::LockFolder(const Environment& env)
{
    if (!env.runtimeDir.empty() && env.runtimeDir.front() == '/')
        return env.runtimeDir.back() == '/' ? env.runtimeDir : env.runtimeDir + '/';
    return "/tmp/vindrel-" + std::to_string(env.uid) + '/';
}

std::string SingleInstance::LockFileName(std::string_view guard, const Environment& env)
{
    // A Wayland session usually has an X display as well; the Wayland name is
    // the one every program of the session agrees on.
    std::string session = !env.waylandDisplay.empty() ? env.waylandDisplay
                          : !env.display.empty()      ? SessionOfXDisplay(env.display)
                                                      : std::string("no-display");
    return FileNameSafe(guard) + '@' + FileNameSafe(session) + ".lock";
}

SingleInstance::SingleInstance(std::string_view guard)
{
    const Environment env = CurrentEnvironment();
    const std::string folder = LockFolder(env);
    if (env.runtimeDir.empty() || env.runtimeDir.front() != '/') {
        // The shared /tmp fallback: a private folder, refused when someone
        // else made it first (they could then see or steal the lock file).
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            m_problem = SystemError("cannot create", folder);
            return;
        }
        struct stat info
        {};
        if (lstat(folder.c_str(), &info) != 0) {
            m_problem = SystemError("cannot inspect", folder);
            return;
        }
        if (!S_ISDIR(info.st_mode) || info.st_uid != env.uid || (info.st_mode & 077) != 0) {
            m_problem = "refusing " + folder + ": not a private folder of this user";
            return;
        }
    }
    Acquire(folder + LockFileName(guard, env));
}

SingleInstance SingleInstance::AtPath(const std::string& lockPath)
{
    SingleInstance guard;
    guard.Acquire(lockPath);
    return guard;
}

void SingleInstance::Acquire(const std::string& lockPath)
{
    m_path = lockPath;
    // O_CLOEXEC: a browser started from this process must not inherit the
    // lock and keep blocking new starts after we are gone.
    m_fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_problem = SystemError("cannot open", lockPath);
        return;
    }
    int result;
    do {
        result = flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return;
    if (errno == EWOULDBLOCK)
        m_anotherRunning = true;
    else
        m_problem = SystemError("cannot lock", lockPath);
    close(m_fd);
    m_fd = -1;
}

SingleInstance::SingleInstance(SingleInstance&& other) noexcept
    : m_fd(other.m_fd)
    , m_anotherRunning(other.m_anotherRunning)
    , m_path(std::move(other.m_path))
    , m_problem(std::move(other.m_problem))
{
    other.m_fd = -1;
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        close(m_fd);
}
