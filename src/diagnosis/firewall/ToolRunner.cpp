#include "diagnosis/firewall/ToolRunner.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::size_t kOutputLimit = 1024 * 1024;
constexpr std::size_t kErrorLimit = 64 * 1024;

std::string SearchPath()
{
    const char* path = std::getenv("PATH");
    std::string search = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    return search + ":/usr/local/sbin:/usr/sbin:/sbin";
}

// The child's environment: ours, with the locale pinned and the search path
// widened, so that messages and formats are the untranslated ones.
std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        if (entry.starts_with("LC_") || entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=") ||
            entry.starts_with("PATH="))
            continue;
        env.emplace_back(entry);
    }
    env.push_back("LC_ALL=C");
    env.push_back("LANG=C");
    env.push_back("PATH=" + SearchPath());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

std::string FindTool(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? name : std::string();
    const std::string search = SearchPath();
    std::size_t start = 0;
    while (start <= search.size()) {
        const auto colon = search.find(':', start);
        const std::string dir = search.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return {};
}

ToolResult RunTool(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)
{
    ToolResult result;
    if (argv.empty())
        return result;
    const std::string program = FindTool(argv[0]);
    if (program.empty())
        return result;

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that a timeout also ends what it started.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<std::string> args(argv.begin(), argv.end());
    std::vector<std::string> env = ChildEnvironment();
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, Pointers(args).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        const int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            result.timedOut = ready == 0;
            break;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[8192];
            const ssize_t n = read(fds[k].fd, chunk, sizeof chunk);
            if (n > 0) {
                std::string& sink = k == 0 ? result.output : result.errors;
                const std::size_t limit = k == 0 ? kOutputLimit : kErrorLimit;
                sink.append(chunk, std::min(static_cast<std::size_t>(n), limit - std::min(limit, sink.size())));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (result.timedOut)
        kill(-pid, SIGKILL);
    // Its output is closed: it is ending. A short grace, then it is ended.
    int status = 0;
    for (int tries = 0;; ++tries) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return result;
        if (tries == 20) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            break;
        }
        usleep(5000);
    }
    if (!result.timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}
