#include "i18n/LanguagePreference.h"

#include "base/LocaleText.h"
#include "i18n/TextCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <windows.h>

// The Windows side of the preference file (PreferenceFile_win.cpp) on real
// files in a fresh folder under %TEMP%. The XML rules are the same code on
// every platform and are tested on Linux.

namespace {

namespace fs = std::filesystem;

class LangFolderWin : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(MakeFolder(u"vindrel-i18n-")); }

    void TearDown() override
    {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(m_root, ec))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(m_root, ec);
    }

    // A fresh folder whose name starts with `prefix`; false when it cannot be made.
    bool MakeFolder(std::u16string_view prefix)
    {
        wchar_t temp[MAX_PATH];
        if (GetTempPathW(MAX_PATH, temp) == 0)
            return false;
        const std::wstring name(prefix.begin(), prefix.end());
        m_root =
            fs::path(temp) / (name + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()));
        return fs::create_directory(m_root);
    }

    // The folder as the program sees it: UTF-16, ending with a separator.
    std::u16string Dir() const
    {
        const std::wstring wide = m_root.wstring() + L"\\";
        return std::u16string(wide.begin(), wide.end());
    }
    fs::path LangPath() const { return m_root / "lang.xml"; }

    static void Put(const fs::path& file, std::string_view bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    static std::string Get(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::set<std::wstring> Entries() const
    {
        std::set<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(m_root))
            names.insert(entry.path().filename().wstring());
        return names;
    }

    fs::path m_root;
};

constexpr const char* kShipped = "<?xml version=\"1.0\"?>\n<config>\n    <lang>en</lang>\n</config>\n";

TEST_F(LangFolderWin, ReadsAndWritesTheFileInPlace)
{
    Put(LangPath(), kShipped);
    std::u16string code;
    ASSERT_TRUE(ReadLanguagePreference(Dir(), code));
    EXPECT_EQ(code, u"en");
    WriteLanguagePreference(Dir(), kLanguageChinese);
    EXPECT_EQ(Get(LangPath()), "<?xml version=\"1.0\"?>\n<config>\n    <lang>zh_cn</lang>\n</config>\n");
    // No temporary file is left beside it.
    EXPECT_EQ(Entries(), std::set<std::wstring>{L"lang.xml"});
}

TEST_F(LangFolderWin, WriteNeverCreatesTheFile)
{
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageChinese);
}

TEST_F(LangFolderWin, AFolderNamedLangXmlCountsAsMissing)
{
    ASSERT_TRUE(fs::create_directory(LangPath()));
    std::u16string code = u"untouched";
    EXPECT_FALSE(ReadLanguagePreference(Dir(), code));
    EXPECT_EQ(code, u"untouched");
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_TRUE(fs::is_directory(LangPath()));
}

TEST_F(LangFolderWin, AReadOnlyFileIsReadButNotReplaced)
{
    Put(LangPath(), kShipped);
    ASSERT_TRUE(SetFileAttributesW(LangPath().c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageEnglish);
    WriteLanguagePreference(Dir(), kLanguageChinese);
    EXPECT_EQ(Get(LangPath()), kShipped);
    EXPECT_EQ(Entries(), std::set<std::wstring>{L"lang.xml"});
}

TEST_F(LangFolderWin, AWriteKeepsTheFilesAttributes)
{
    Put(LangPath(), kShipped);
    ASSERT_TRUE(SetFileAttributesW(LangPath().c_str(), FILE_ATTRIBUTE_HIDDEN));
    WriteLanguagePreference(Dir(), kLanguageChinese);
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageChinese);
    EXPECT_TRUE(GetFileAttributesW(LangPath().c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(LangFolderWin, AFileOpenElsewhereIsLeftAsItWas)
{
    // Another program holds lang.xml open without letting others replace it
    // (the common case on Windows: an editor, a virus scanner).
    Put(LangPath(), kShipped);
    const HANDLE held = CreateFileW(LangPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    WriteLanguagePreference(Dir(), kLanguageChinese);
    CloseHandle(held);
    EXPECT_EQ(Get(LangPath()), kShipped);
    EXPECT_EQ(Entries(), std::set<std::wstring>{L"lang.xml"});
}

struct FolderCase
{
    UINT codePage;
    const char* why;
    std::u16string_view prefix;
    bool usable;
};

// Paths reach tinyxml2 in the ANSI code page: a folder it cannot name counts
// as having no lang.xml, one it can works as any other.
const FolderCase kFolderCases[] = {
    {1252, "a Latin folder name works", u"pr\u00E9f\u00E9rences-", true},
    {1252, "a Chinese folder name cannot be written and counts as missing", u"\u504F\u597D-", false},
    {936, "a Chinese folder name works", u"\u504F\u597D-", true},
};

class LangFolderName : public LangFolderWin, public ::testing::WithParamInterface<FolderCase>
{
protected:
    void SetUp() override {}
};

TEST_P(LangFolderName, IsUsableWhereTheCodePageCanNameIt)
{
    const FolderCase& c = GetParam();
    if (GetACP() != c.codePage)
        GTEST_SKIP() << "for code page " << c.codePage;
    ASSERT_TRUE(MakeFolder(c.prefix));
    Put(LangPath(), kShipped);
    EXPECT_EQ(StartupLanguage(Dir()), c.usable ? kLanguageEnglish : kLanguageChinese) << c.why;
    WriteLanguagePreference(Dir(), kLanguageChinese);
    EXPECT_EQ(Get(LangPath()).find("zh_cn") != std::string::npos, c.usable) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Table, LangFolderName, ::testing::ValuesIn(kFolderCases));

}  // namespace
