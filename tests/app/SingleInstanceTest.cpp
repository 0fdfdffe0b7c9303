#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct NameCase
{
    const char* why;
    SingleInstance::Environment env;
    const char* folder;
    const char* file;
};

const NameCase kNameCases[] = {
    {"the runtime folder holds the lock, named for guard and display",
     {"/run/user/1000", ":0", "", 1000},
     "/run/user/1000/",
     "Vindrel 2@:0.lock"},
    {"screens of one X display share the session",
     {"/run/user/1000/", ":0.1", "", 1000},
     "/run/user/1000/",
     "Vindrel 2@:0.lock"},
    {"a remote X display keeps its host",
     {"/run/user/7", "localhost:10.0", "", 7},
     "/run/user/7/",
     "Vindrel 2@localhost:10.lock"},
    {"Wayland's name wins over the X display of the same session",
     {"/run/user/1000", ":0", "wayland-0", 1000},
     "/run/user/1000/",
     "Vindrel 2@wayland-0.lock"},
    {"a display given as a socket path stays one file name",
     {"/run/user/1000", "", "/run/wl/sock", 1000},
     "/run/user/1000/",
     "Vindrel 2@_run_wl_sock.lock"},
    {"without a runtime folder a per-user folder in /tmp is used",
     {"", ":1", "", 1000},
     "/tmp/vindrel-1000/",
     "Vindrel 2@:1.lock"},
    {"a relative runtime folder is not trusted", {"run", ":1", "", 42}, "/tmp/vindrel-42/", "Vindrel 2@:1.lock"},
    {"no display at all still names one session",
     {"/run/user/5", "", "", 5},
     "/run/user/5/",
     "Vindrel 2@no-display.lock"},
};

TEST(SingleInstanceNames, FollowSessionAndUser)
{
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(SingleInstance::LockFolder(c.env), c.folder);
        EXPECT_EQ(SingleInstance::LockFileName("Vindrel 2", c.env), c.file);
    }
}

// Real processes hold the guard: a child takes it, reports over a pipe and
// waits to be killed, as a running program would.
class SingleInstanceProcesses : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vindrel-guard-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        ASSERT_EQ(setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1), 0);
        ASSERT_EQ(setenv("DISPLAY", ":0", 1), 0);
        ASSERT_EQ(unsetenv("WAYLAND_DISPLAY"), 0);
    }
    void TearDown() override
    {
        for (const pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (const pid_t pid : m_orphans)
            kill(pid, SIGKILL);
        std::filesystem::remove_all(m_dir);
    }

    // Starts a process that takes the guard (under `display`) and then, when
    // `spawnChild` is set, starts a long-running program of its own, as the
    // window does when it opens a browser. Returns once the guard is taken.
    pid_t StartHolder(const char* display, bool spawnChild = false)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return -1;
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            setenv("DISPLAY", display, 1);
            SingleInstance guard("Vindrel 2");
            const char verdict = guard.AnotherIsRunning() ? 'n' : 'y';
            pid_t browser = 0;
            if (spawnChild) {
                // Until its exec the child shares the guard's file like any
                // fork; wait for the exec (the close-on-exec pipe's EOF).
                int execed[2];
                if (pipe2(execed, O_CLOEXEC) != 0)
                    _exit(3);
                if ((browser = fork()) == 0) {
                    execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
                    _exit(127);
                }
                close(execed[1]);
                char none;
                while (read(execed[0], &none, 1) > 0) {}
                close(execed[0]);
            }
            if (write(ready[1], &verdict, 1) != 1 || write(ready[1], &browser, sizeof browser) != sizeof browser)
                _exit(2);
            for (;;)
                pause();
        }
        close(ready[1]);
        char verdict = 0;
        pid_t browser = 0;
        const bool got = read(ready[0], &verdict, 1) == 1 && read(ready[0], &browser, sizeof browser) == sizeof browser;
        close(ready[0]);
        if (pid > 0)
            m_children.push_back(pid);
        if (browser > 0)
            m_orphans.push_back(browser);
        EXPECT_TRUE(got);
        EXPECT_EQ(verdict, 'y') << "the holder could not take the guard";
        return pid;
    }

    static void KillAndReap(pid_t pid)
    {
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
    }

    std::string m_dir;
    std::vector<pid_t> m_children;
    std::vector<pid_t> m_orphans;  // grandchildren, reaped by init
};

TEST_F(SingleInstanceProcesses, SecondStartInTheSameSessionIsRefused)
{
    StartHolder(":0");
    SingleInstance second("Vindrel 2");
    EXPECT_TRUE(second.AnotherIsRunning());
    EXPECT_TRUE(second.Problem().empty()) << second.Problem();
}

TEST_F(SingleInstanceProcesses, ReleasedWhenTheHolderIsKilled)
{
    const pid_t holder = StartHolder(":0");
    ASSERT_TRUE(SingleInstance("Vindrel 2").AnotherIsRunning());
    KillAndReap(holder);
    m_children.clear();
    SingleInstance next("Vindrel 2");
    EXPECT_FALSE(next.AnotherIsRunning());
    EXPECT_TRUE(next.Problem().empty()) << next.Problem();
}

TEST_F(SingleInstanceProcesses, ProgramsStartedByTheHolderDoNotKeepIt)
{
    const pid_t holder = StartHolder(":0", true);
    KillAndReap(holder);
    m_children.clear();
    // The holder's own child (a "browser") lives on; the guard must not.
    EXPECT_FALSE(SingleInstance("Vindrel 2").AnotherIsRunning());
}

TEST_F(SingleInstanceProcesses, AnotherDesktopSessionStartsNormally)
{
    StartHolder(":1");
    ASSERT_EQ(setenv("DISPLAY", ":0", 1), 0);
    EXPECT_FALSE(SingleInstance("Vindrel 2").AnotherIsRunning());
}

TEST_F(SingleInstanceProcesses, TheGuardIsHeldForTheObjectsLifetime)
{
    {
        SingleInstance first("Vindrel 2");
        ASSERT_FALSE(first.AnotherIsRunning());
        // flock conflicts between open files, so this process sees itself too.
        EXPECT_TRUE(SingleInstance("Vindrel 2").AnotherIsRunning());
    }
    EXPECT_FALSE(SingleInstance("Vindrel 2").AnotherIsRunning());
}

TEST_F(SingleInstanceProcesses, AnUnusableFolderCountsAsTheFirstInstance)
{
    SingleInstance guard = SingleInstance::AtPath(m_dir + "/missing/x.lock");
    EXPECT_FALSE(guard.AnotherIsRunning());
    EXPECT_FALSE(guard.Problem().empty());
}

}  // namespace
