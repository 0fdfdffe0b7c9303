// Where the program looks for its skins and keeps its settings and log.
#include "base/AppFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class Folders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vindrel-folders-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directories(m_root / "usr/bin");
        fs::create_directories(m_root / "usr/share/vindrel");
        fs::create_directories(m_root / "home");
    }
    void TearDown() override
    {
        fs::permissions(m_root / "usr/bin", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(m_root);
    }
    void Touch(const std::string& relative) const { std::ofstream(m_root / relative) << "x"; }
    std::string Path(const std::string& relative) const { return (m_root / relative).string(); }
    FolderEnvironment Environment() const { return {Path("usr/bin/"), Path("home"), "", "", "../share/vindrel"}; }

    fs::path m_root;
};

TEST_F(Folders, APortableFolderKeepsEverythingBesideTheExecutable)
{
    Touch("usr/bin/vindrel.xml");
    Touch("usr/bin/lang.xml");
    const AppFolders f = FindAppFolders(Environment());
    EXPECT_TRUE(f.portable);
    EXPECT_EQ(f.resources, Path("usr/bin/"));
    EXPECT_EQ(f.settings, Path("usr/bin/"));
    EXPECT_EQ(f.state, Path("usr/bin/"));
    EXPECT_EQ(f.log, Path("usr/bin/log/"));
}

TEST_F(Folders, AnInstalledProgramKeepsSettingsInTheUsersFolders)
{
    Touch("usr/share/vindrel/vindrel.xml");
    const AppFolders f = FindAppFolders(Environment());
    EXPECT_FALSE(f.portable);
    EXPECT_EQ(f.resources, Path("usr/bin/../share/vindrel/"));
    EXPECT_EQ(f.settings, Path("home/.config/vindrel/"));
    EXPECT_EQ(f.state, Path("home/.local/state/vindrel/"));
    EXPECT_EQ(f.log, Path("home/.local/state/vindrel/log/"));
}

TEST_F(Folders, TheXdgVariablesChooseTheFoldersWhenTheyAreAbsolute)
{
    struct Case
    {
        const char* why;
        std::string config, state;
        std::string settings, log;
    };
    const Case cases[] = {
        {"absolute paths are taken", Path("cfg"), Path("st/"), Path("cfg/vindrel/"), Path("st/vindrel/log/")},
        {"relative paths are invalid and ignored", "cfg", "st", Path("home/.config/vindrel/"),
         Path("home/.local/state/vindrel/log/")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        FolderEnvironment env = Environment();
        env.configHome = c.config;
        env.stateHome = c.state;
        const AppFolders f = FindAppFolders(env);
        EXPECT_EQ(f.settings, c.settings);
        EXPECT_EQ(f.log, c.log);
        EXPECT_EQ(f.state + "log/", c.log);
    }
}

TEST_F(Folders, ALangXmlInAFolderThatCannotBeWrittenIsNoPortableFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    Touch("usr/bin/vindrel.xml");
    Touch("usr/bin/lang.xml");
    fs::permissions(m_root / "usr/bin", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(FindAppFolders(Environment()).portable);
}

TEST_F(Folders, SkinsAreLookedForBesideTheExecutableFirst)
{
    struct Case
    {
        const char* why;
        bool beside, installed;
        std::string resources;
    };
    const Case cases[] = {
        {"beside wins over installed", true, true, "usr/bin/"},
        {"installed when none beside", false, true, "usr/bin/../share/vindrel/"},
        {"neither: beside, where the missing file is reported", false, false, "usr/bin/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fs::remove(m_root / "usr/bin/vindrel.xml");
        fs::remove(m_root / "usr/share/vindrel/vindrel.xml");
        if (c.beside)
            Touch("usr/bin/vindrel.xml");
        if (c.installed)
            Touch("usr/share/vindrel/vindrel.xml");
        EXPECT_EQ(FindAppFolders(Environment()).resources, Path(c.resources));
    }
}

TEST_F(Folders, MakeFoldersCreatesPrivateParentsAndAcceptsExistingOnes)
{
    const std::string folder = Path("home/a/b/c/");
    ASSERT_TRUE(MakeFolders(folder));
    EXPECT_TRUE(MakeFolders(folder));
    struct stat st
    {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    Touch("home/file");
    EXPECT_FALSE(MakeFolders(Path("home/file/below/")));
}

}  // namespace
