#pragma once

#include <string>
#include <string_view>

// One running instance per desktop session. The guard is an advisory lock
// (flock) on a file named for the guard; the kernel drops the lock when the
// holding process ends, however it ends, so a crash never blocks new starts.
// The file lives in the user's runtime folder and its name carries the
// display, so two desktop sessions of one user each get their own instance.
//
// On Windows (SingleInstance_win.cpp) the guard is a named event of that
// name in the session's own namespace; the system drops the name with the
// last handle, so there too a crash never blocks new starts.
class SingleInstance final
{
public:
    // Where the lock of `guard` lives for this environment. Pure: the
    // environment is passed in so that the rule can be checked without
    // touching the real one. POSIX only, like AtPath.
    struct Environment
    {
        std::string runtimeDir;      // $XDG_RUNTIME_DIR, may be empty
        std::string display;         // $DISPLAY, may be empty
        std::string waylandDisplay;  // $WAYLAND_DISPLAY, may be empty
        unsigned uid = 0;
    };
    static Environment CurrentEnvironment();
    static std::string LockFolder(const Environment& env);
    static std::string LockFileName(std::string_view guard, const Environment& env);

    // Takes the lock of `guard` in the current environment (creating the
    // fallback folder when needed). Never throws.
    explicit SingleInstance(std::string_view guard);
    // Takes the lock on an explicit file; the folder must exist.
    static SingleInstance AtPath(const std::string& lockPath);

    SingleInstance(SingleInstance&& other) noexcept;
    SingleInstance& operator=(SingleInstance&&) = delete;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    // True when another live process holds the lock. Any other failure
    // (unwritable folder, no file system support) counts as the first
    // instance: refusing to start over a broken guard helps nobody.
    bool AnotherIsRunning() const { return m_anotherRunning; }
    // Why the guard could not be taken, when it could not; empty otherwise.
    const std::string& Problem() const { return m_problem; }
    // The lock file, or on Windows the event's name.
    const std::string& LockPath() const { return m_path; }

private:
    SingleInstance() = default;
    void Acquire(const std::string& lockPath);

    int m_fd = -1;            // held for the whole run; released with the process
    void* m_event = nullptr;  // Windows: the event's handle, held the same way
    bool m_anotherRunning = false;
    std::string m_path;
    std::string m_problem;
};
