// Where the Windows program keeps its settings and log: beside itself in a
// portable folder, else in the user's application data folders.
#include "base/AppFolders.h"

#include "base/ExecutablePath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

// 8-bit paths as the program writes them: ASCII here, '/' separators.
std::string Slashed(const fs::path& path)
{
    std::string text = path.string();
    for (char& c : text) {
        if (c == '\\')
            c = '/';
    }
    return text;
}

class WinFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("vindrel-folders-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Program/Vindrel");
        fs::create_directories(m_root / "Roaming");
        fs::create_directories(m_root / "Local");
    }
    void TearDown() override { fs::remove_all(m_root); }
    void Touch(const std::string& relative) const { std::ofstream(m_root / relative) << "x"; }
    std::string Path(const std::string& relative) const { return Slashed(m_root / relative); }
    FolderEnvironment Environment() const
    {
        return {Path("Program/Vindrel/"), Path("Profile/"), Path("Roaming/"), Path("Local/"), ""};
    }

    fs::path m_root;
};

TEST_F(WinFolders, AnUnpackedFolderWithLangXmlIsPortable)
{
    Touch("Program/Vindrel/vindrel.xml");
    Touch("Program/Vindrel/lang.xml");
    const AppFolders f = FindAppFolders(Environment());
    EXPECT_TRUE(f.portable);
    EXPECT_EQ(f.resources, Path("Program/Vindrel/"));
    EXPECT_EQ(f.settings, Path("Program/Vindrel/"));
    EXPECT_EQ(f.state, Path("Program/Vindrel/"));
    EXPECT_EQ(f.log, Path("Program/Vindrel/log/"));
    // The check leaves nothing behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_root / "Program/Vindrel"))
        ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST_F(WinFolders, WithoutLangXmlSettingsGoToAppDataAndTheLogToLocalAppData)
{
    Touch("Program/Vindrel/vindrel.xml");
    const AppFolders f = FindAppFolders(Environment());
    EXPECT_FALSE(f.portable);
    EXPECT_EQ(f.resources, Path("Program/Vindrel/"));
    EXPECT_EQ(f.settings, Path("Roaming/Vindrel/"));
    EXPECT_EQ(f.state, Path("Local/Vindrel/"));
    EXPECT_EQ(f.log, Path("Local/Vindrel/log/"));
}

TEST_F(WinFolders, WithoutApplicationDataFoldersEverythingStaysBesideTheExecutable)
{
    FolderEnvironment env = Environment();
    env.configHome.clear();
    const AppFolders f = FindAppFolders(env);
    EXPECT_EQ(f.settings, Path("Program/Vindrel/"));
    EXPECT_EQ(f.state, Path("Program/Vindrel/"));
}

TEST_F(WinFolders, MakeFoldersCreatesParentsAcceptsExistingOnesAndRefusesAFileInTheWay)
{
    EXPECT_TRUE(MakeFolders(Path("Local/Vindrel/log/")));
    EXPECT_TRUE(fs::is_directory(m_root / "Local/Vindrel/log"));
    EXPECT_TRUE(MakeFolders(Path("Local/Vindrel/log/")));
    Touch("Local/file");
    EXPECT_FALSE(MakeFolders(Path("Local/file/log/")));
}

TEST(WinProgramFolders, AFolderWithoutLangXmlUsesTheUsersApplicationData)
{
    // The test's own folder holds no lang.xml.
    const AppFolders& f = ProgramFolders();
    EXPECT_FALSE(f.portable);
    EXPECT_EQ(f.resources, ExecutableDir());
    wchar_t appData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    std::string expected = Slashed(fs::path(appData)) + "/Vindrel/";
    EXPECT_EQ(f.settings, expected);
    EXPECT_NE(f.log.find("/Vindrel/log/"), std::string::npos) << f.log;
    EXPECT_EQ(f.log.find('\\'), std::string::npos) << f.log;
    // The server book in %LOCALAPPDATA%\Vindrel\, beside the log's folder.
    wchar_t localAppData[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH), 0u);
    EXPECT_EQ(f.state, Slashed(fs::path(localAppData)) + "/Vindrel/");
    EXPECT_EQ(f.log, f.state + "log/");
}

}  // namespace
