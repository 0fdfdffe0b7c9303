// Starts the real program. It runs inside an empty network namespace of its
// own (unshare -n: not even loopback is up), so whatever it does, no packet
// can leave; without that possibility the test is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    // Offscreen, with a home and runtime folder of its own: nothing the
    // program writes may reach the real home.
    std::string Environment() const
    {
        return "env -u XDG_CONFIG_HOME -u XDG_STATE_HOME QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=" + m_dir.string() +
               " HOME=" + (m_dir / "home").string() + " DISPLAY=:vindrel-test ";
    }
    // Copies the skins and images into `folder`.
    static void CopySkins(const fs::path& folder)
    {
        fs::create_directories(folder);
        for (const char* name : {"vindrel.xml", "listitem.xml", "menu.xml", "message.xml"})
            fs::copy_file(fs::path(VINDREL_BIN_DIR) / name, folder / name);
        fs::copy(fs::path(VINDREL_BIN_DIR) / "res", folder / "res", fs::copy_options::recursive);
    }
    // Starts `program`, lets it run for a while, ends it with SIGTERM.
    ProcessRun RunBriefly(const std::string& environment, const fs::path& program) const
    {
        return RunIsolated("sh -c '" + Environment() + environment + " " + program.string() +
                           " & p=$!; sleep 1.5; kill -TERM $p; wait $p; echo exit=$?'");
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
    CopySkins(m_dir);
    for (const char* signal : {"TERM", "HUP", "INT"}) {
        SCOPED_TRACE(signal);
        const std::string script = "sh -c '" + Environment() + (m_dir / "vindrel").string() +
                                   " & p=$!; sleep 1.5; kill -" + signal + " $p; wait $p; echo exit=$?'";
        const ProcessRun run = RunIsolated(script);
        EXPECT_NE(run.output.find("exit=0\n"), std::string::npos) << run.output;
    }
}

// --help and --version answer at once: no window, no probe, no guard (so
// not even a display is needed).
TEST_F(Startup, HelpAndVersionAnswerWithoutAWindow)
{
    struct Case
    {
        const char* argument;
        const char* expected;
    };
    const Case cases[] = {{"--help", "Usage: vindrel"}, {"--version", "vindrel " VINDREL_VERSION "\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        const ProcessRun run =
            RunIsolated("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" + m_dir.string() + " " +
                        (m_dir / "vindrel").string() + " " + c.argument);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output.find(c.expected), 0u) << run.output;
        for (const auto& entry : fs::directory_iterator(m_dir))
            EXPECT_EQ(entry.path().extension(), "") << "no guard taken: " << entry.path();
    }
}

TEST_F(Startup, WithoutADisplayItSaysSoInOneLine)
{
    CopySkins(m_dir);
    const ProcessRun run =
        RunIsolated("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + (m_dir / "vindrel").string());
    EXPECT_EQ(run.exitCode, 1) << "not Qt's abort: " << run.output;
    EXPECT_EQ(run.output.rfind("vindrel: no display", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("vindrel-scan"), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
}

TEST_F(Startup, AMissingImageIsNamedAndEndsWithCodeOne)
{
    CopySkins(m_dir);
    fs::remove(m_dir / "res/mainwnd/stop_btn_selected.png");
    const ProcessRun run = RunIsolated(Environment() + (m_dir / "vindrel").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("res/mainwnd/stop_btn_selected.png"), std::string::npos) << run.output;
}

// Laid out as installed: the skins under share/, nothing but the program
// beside it. The first start takes the desktop's language and keeps it in
// the user's settings folder; nothing is written beside the executable.
TEST_F(Startup, AnInstalledProgramKeepsItsSettingsInTheUsersFolder)
{
    struct Case
    {
        const char* locale;
        const char* stored;
    };
    const Case cases[] = {{"zh_CN.UTF-8", "zh_cn"}, {"de_DE.UTF-8", "en"}};
    fs::create_directories(m_dir / "usr/bin");
    fs::copy_file(m_dir / "vindrel", m_dir / "usr/bin/vindrel");
    CopySkins(m_dir / "usr/share/vindrel");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        fs::remove_all(m_dir / "home");
        fs::create_directories(m_dir / "home");
        const ProcessRun run =
            RunBriefly(std::string("LC_ALL=") + c.locale + " LANG=" + c.locale, m_dir / "usr/bin/vindrel");
        EXPECT_NE(run.output.find("exit=0\n"), std::string::npos) << run.output;
        std::ifstream lang(m_dir / "home/.config/vindrel/lang.xml");
        const std::string text((std::istreambuf_iterator<char>(lang)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(std::string("<lang>") + c.stored + "</lang>"), std::string::npos) << text;
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "usr/bin"), fs::directory_iterator()), 1)
            << "only the program itself lies beside it";
    }
}

}  // namespace
