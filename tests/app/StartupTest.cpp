// Starts the real program. It runs inside an empty network namespace of its
// own (unshare -n: not even loopback is up), so whatever it does, no packet
// can leave; without that possibility the test is skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct ProcessRun
{
    int exitCode = -1;
    std::string output;
};

ProcessRun RunIsolated(const std::string& command)
{
    ProcessRun run;
    FILE* pipe = popen(("unshare -n " + command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class Startup : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("unshare -n true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "cannot make a private network namespace here";
        char pattern[] = "/tmp/vindrel-start-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(VINDREL_BIN_DIR "/vindrel", m_dir / "vindrel");
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }
    std::string Environment() const
    {
        return "env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" + m_dir.string() + " DISPLAY=:vindrel-test ";
    }
    fs::path m_dir;
};

TEST_F(Startup, AMissingMainSkinIsNamedAndEndsWithCodeOne)
{
    // The program folder holds the executable only.
    const ProcessRun run = RunIsolated(Environment() + (m_dir / "vindrel").string() + " --ignored-argument");
    EXPECT_EQ(run.exitCode, 1);
    const std::string missing = "vindrel: missing " + (m_dir / "vindrel.xml").string() + "\n";
    EXPECT_NE(run.output.find(missing), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("vindrel: missing", run.output.find(missing) + 1), std::string::npos)
        << "one line, once: " << run.output;
}

// A whole program folder: the window comes up (offscreen, no interface to
// search on) and a termination signal ends it like Exit, with code 0.
TEST_F(Startup, TerminationSignalsEndTheProgramWithCodeZero)
{
    for (const char* name : {"vindrel.xml", "listitem.xml", "menu.xml", "message.xml"})
        fs::copy_file(fs::path(VINDREL_BIN_DIR) / name, m_dir / name);
    fs::copy(fs::path(VINDREL_BIN_DIR) / "res", m_dir / "res", fs::copy_options::recursive);
    for (const char* signal : {"TERM", "HUP", "INT"}) {
        SCOPED_TRACE(signal);
        const std::string script = "sh -c '" + Environment() + (m_dir / "vindrel").string() +
                                   " & p=$!; sleep 1.5; kill -" + signal + " $p; wait $p; echo exit=$?'";
        const ProcessRun run = RunIsolated(script);
        EXPECT_NE(run.output.find("exit=0\n"), std::string::npos) << run.output;
    }
}

}  // namespace
