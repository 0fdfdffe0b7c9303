#include "i18n/LanguagePreference.h"

#include "base/LocaleText.h"
#include "i18n/TextCatalogue.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A fresh folder per test, standing in for the instance directory.
class LangFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
        std::string pattern = (fs::temp_directory_path() / "vindrel-i18n-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        m_root = pattern;
    }

    void TearDown() override
    {
        // Tests lock folders down; open them again so they can be removed.
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (it->is_directory() && !it->is_symlink())
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_root, ec);
    }

    // The folder as the program sees it: wide text ending with a separator.
    static std::u16string AsDir(const fs::path& folder) { return FromUtf8(folder.string() + "/"); }
    std::u16string Dir() const { return AsDir(m_root); }
    fs::path LangPath() const { return m_root / "lang.xml"; }

    static void Put(const fs::path& file, std::string_view bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << file;
    }
    static std::string Get(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_root))
            names.insert(entry.path().filename().string());
        return names;
    }

    fs::path m_root;
};

struct ReadCase
{
    const char* why;
    const char* content;  // null: no lang.xml at all
    bool ok;
    std::u16string_view code;
};

std::ostream& operator<<(std::ostream& os, const ReadCase& c)
{
    return os << c.why;
}

const ReadCase kReadCases[] = {
    {"no file fails", nullptr, false, u""},
    {"an empty file fails", "", false, u""},
    {"a document of only a comment fails", "<!-- nothing -->\n", false, u""},
    {"malformed XML fails", "<config><lang>en</lang>", false, u""},
    {"the shipped shape gives its code", "<?xml version=\"1.0\"?>\n<config>\n    <lang>en</lang>\n</config>\n", true,
     u"en"},
    {"the root may have any name", "<settings><lang>zh_cn</lang></settings>", true, u"zh_cn"},
    {"a root named lang is not the element", "<lang>en</lang>", false, u""},
    {"a lang nested deeper is not found", "<config><ui><lang>en</lang></ui></config>", false, u""},
    {"the element name is compared exactly", "<config><Lang>en</Lang></config>", false, u""},
    {"of two lang children the first counts", "<config><lang>zh_cn</lang><lang>en</lang></config>", true, u"zh_cn"},
    {"other children, attributes and comments are skipped",
     "<config a=\"1\"><!-- c --><theme/><lang id=\"x\">en</lang></config>", true, u"en"},
    {"an empty element gives an empty code", "<config><lang/></config>", true, u""},
    {"an element holding only an element gives an empty code", "<config><lang><b>en</b></lang></config>", true, u""},
    {"surrounding spaces and line breaks are kept", "<config><lang>  en\n</lang></config>", true, u"  en\n"},
    {"entities are resolved", "<config><lang>e&#110;&amp;</lang></config>", true, u"en&"},
    {"non-ASCII text is decoded from the locale", "<config><lang>\xE4\xB8\xAD</lang></config>", true, u"\u4E2D"},
};

class ReadLangFile : public LangFolder, public ::testing::WithParamInterface<ReadCase>
{};

TEST_P(ReadLangFile, GivesTheFirstLangChildOfTheRoot)
{
    const ReadCase& c = GetParam();
    if (c.content)
        Put(LangPath(), c.content);
    std::u16string code = u"untouched";
    EXPECT_EQ(ReadLanguagePreference(Dir(), code), c.ok);
    EXPECT_EQ(code, c.ok ? c.code : u"untouched");
    EXPECT_EQ(StartupLanguage(Dir()), c.ok ? c.code : kLanguageChinese);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadLangFile, ::testing::ValuesIn(kReadCases));

// Files a write must leave byte for byte as they were: it finds no <lang>
// to set, or its result would not read back.
struct KeepCase
{
    const char* why;
    const char* content;
};

std::ostream& operator<<(std::ostream& os, const KeepCase& c)
{
    return os << c.why;
}

const KeepCase kKeepCases[] = {
    {"malformed XML", "<config><lang>zh_cn</lang>\n"},
    {"an empty file", ""},
    {"only a comment", "<!-- no element -->"},
    {"a root named lang", "<lang>zh_cn</lang>"},
    {"lang nested deeper", "<config>\n\t<ui><lang>zh_cn</lang></ui>\n</config>\n"},
    {"no lang child", "<config><language>zh_cn</language></config>"},
    // The parser accepts this, but its printed form would not parse again.
    {"stray text and an end tag after the root", "<config><lang>zh_cn</lang></config>x&#1?\n</lang>"},
};

class WriteKeepsFile : public LangFolder, public ::testing::WithParamInterface<KeepCase>
{};

TEST_P(WriteKeepsFile, ByteForByte)
{
    Put(LangPath(), GetParam().content);
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_EQ(Get(LangPath()), GetParam().content);
    EXPECT_EQ(Entries(), std::set<std::string>{"lang.xml"});
}

INSTANTIATE_TEST_SUITE_P(Table, WriteKeepsFile, ::testing::ValuesIn(kKeepCases));

struct UpdateCase
{
    const char* why;
    const char* before;
    std::u16string_view code;
    const char* after;
};

std::ostream& operator<<(std::ostream& os, const UpdateCase& c)
{
    return os << c.why;
}

const UpdateCase kUpdateCases[] = {
    {"the code replaces the text", "<config><lang>zh_cn</lang></config>", u"en",
     "<config>\n    <lang>en</lang>\n</config>\n"},
    {"an empty element gets the code", "<config><lang/></config>", u"zh_cn",
     "<config>\n    <lang>zh_cn</lang>\n</config>\n"},
    {"only the first of two lang children changes", "<config><lang>zh_cn</lang><lang>zh_cn</lang></config>", u"en",
     "<config>\n    <lang>en</lang>\n    <lang>zh_cn</lang>\n</config>\n"},
    {"declaration, comments, attributes and other elements are kept",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<config version=\"2\">\n"
     "\t<theme name=\"dark\"/>\n\t<lang id=\"1\">en</lang><!-- the language -->\n</config>\n",
     u"zh_cn",
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- settings -->\n<config version=\"2\">\n"
     "    <theme name=\"dark\"/>\n    <lang id=\"1\">zh_cn</lang>\n    <!-- the language -->\n</config>\n"},
    {"markup in the code is escaped", "<config><lang/></config>", u"a<b&",
     "<config>\n    <lang>a&lt;b&amp;</lang>\n</config>\n"},
};

class WriteUpdatesFile : public LangFolder, public ::testing::WithParamInterface<UpdateCase>
{};

TEST_P(WriteUpdatesFile, AndKeepsTheRest)
{
    const UpdateCase& c = GetParam();
    Put(LangPath(), c.before);
    WriteLanguagePreference(Dir(), c.code);
    EXPECT_EQ(Get(LangPath()), c.after);
    EXPECT_EQ(Entries(), std::set<std::string>{"lang.xml"}) << "no temporary file is left behind";
    std::u16string code;
    ASSERT_TRUE(ReadLanguagePreference(Dir(), code));
    EXPECT_EQ(code, c.code);
}

INSTANTIATE_TEST_SUITE_P(Table, WriteUpdatesFile, ::testing::ValuesIn(kUpdateCases));

TEST_F(LangFolder, WriteNeverCreatesTheFile)
{
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageChinese);
}

// The user's own settings folder: an installed program must be able to
// remember a choice where nothing was installed.
TEST_F(LangFolder, AskedToItMakesTheFolderAndAFileThatReadsBack)
{
    const std::u16string deeper = Dir() + u"vindrel/settings/";
    WriteLanguagePreference(deeper, kLanguageEnglish, IfMissing::kCreate);
    const fs::path file = m_root / "vindrel" / "settings" / "lang.xml";
    EXPECT_EQ(Get(file), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n    <lang>en</lang>\n</config>\n");
    EXPECT_EQ(StartupLanguage(deeper), kLanguageEnglish);
    struct stat st
    {};
    ASSERT_EQ(::stat((m_root / "vindrel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the settings folder is the user's own";

    WriteLanguagePreference(deeper, kLanguageChinese, IfMissing::kCreate);
    EXPECT_EQ(StartupLanguage(deeper), kLanguageChinese) << "an existing file is updated as ever";

    Put(LangPath(), "<config><lang>broken");
    WriteLanguagePreference(Dir(), kLanguageEnglish, IfMissing::kCreate);
    EXPECT_EQ(Get(LangPath()), "<config><lang>broken") << "only a missing file is made";
}

TEST(LanguageOfLocale, ChineseForEveryZhLocaleEnglishForTheRest)
{
    struct Case
    {
        const char* locale;
        std::u16string_view language;
    };
    const Case cases[] = {{"zh_CN", kLanguageChinese},       {"zh_TW.UTF-8", kLanguageChinese},
                          {"zh", kLanguageChinese},          {"ZH_cn", kLanguageChinese},
                          {"de_DE.UTF-8", kLanguageEnglish}, {"en_US", kLanguageEnglish},
                          {"C", kLanguageEnglish},           {"", kLanguageEnglish},
                          {"zhx_YY", kLanguageEnglish}};
    for (const Case& c : cases)
        EXPECT_EQ(LanguageOfLocale(c.locale), c.language) << c.locale;
}

TEST_F(LangFolder, DirectoryNamedLangXmlCountsAsMissing)
{
    ASSERT_TRUE(fs::create_directory(LangPath()));
    std::u16string code;
    EXPECT_FALSE(ReadLanguagePreference(Dir(), code));
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_TRUE(fs::is_directory(LangPath()));
    EXPECT_EQ(Entries(), std::set<std::string>{"lang.xml"});
}

TEST_F(LangFolder, DanglingLinkCountsAsMissing)
{
    fs::create_symlink(m_root / "elsewhere.xml", LangPath());
    std::u16string code;
    EXPECT_FALSE(ReadLanguagePreference(Dir(), code));
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_FALSE(fs::exists(m_root / "elsewhere.xml"));
    EXPECT_TRUE(fs::is_symlink(LangPath()));
}

TEST_F(LangFolder, WriteGoesThroughALinkAndKeepsTheLink)
{
    ASSERT_TRUE(fs::create_directory(m_root / "shared"));
    const fs::path target = m_root / "shared" / "prefs.xml";
    Put(target, "<config><lang>zh_cn</lang></config>");
    fs::create_symlink("shared/prefs.xml", LangPath());

    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_TRUE(fs::is_symlink(LangPath()));
    EXPECT_EQ(fs::read_symlink(LangPath()), "shared/prefs.xml");
    EXPECT_EQ(Get(target), "<config>\n    <lang>en</lang>\n</config>\n");
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageEnglish);
}

TEST_F(LangFolder, WriteKeepsTheFileMode)
{
    Put(LangPath(), "<config><lang>zh_cn</lang></config>");
    ASSERT_EQ(::chmod(LangPath().c_str(), 0664), 0);
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    struct stat st
    {};
    ASSERT_EQ(::stat(LangPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(StartupLanguage(Dir()), kLanguageEnglish);
}

TEST_F(LangFolder, NonAsciiFolderIsReadAndWritten)
{
    const fs::path folder = m_root / "\xE8\xAF\xAD\xE8\xA8\x80 \xC3\xA9";  // "语言 é"
    ASSERT_TRUE(fs::create_directory(folder));
    Put(folder / "lang.xml", "<config><lang>zh_cn</lang></config>");
    const std::u16string dir = AsDir(folder);
    ASSERT_NE(dir.find(u"\u8BED\u8A00 \u00E9/"), std::u16string::npos);

    EXPECT_EQ(StartupLanguage(dir), kLanguageChinese);
    WriteLanguagePreference(dir, kLanguageEnglish);
    EXPECT_EQ(StartupLanguage(dir), kLanguageEnglish);
}

// A path the character set cannot express must not be opened as some lossy
// spelling of it ("?" or U+FFFD), nor cut short at a NUL.
TEST_F(LangFolder, UnexpressiblePathCountsAsMissing)
{
    const std::string kContent = "<config><lang>en</lang></config>";
    for (const char* lossy : {"?", "\xEF\xBF\xBD", "x"}) {
        ASSERT_TRUE(fs::create_directory(m_root / lossy));
        Put(m_root / lossy / "lang.xml", kContent);
    }
    Put(m_root / "x-file", kContent);

    const std::u16string kDirs[] = {
        Dir() + u'\xD800' + u"/",
        Dir() + u"x-file" + u'\0' + u"/",
    };
    for (const std::u16string& dir : kDirs) {
        SCOPED_TRACE(ToUtf8(dir));
        std::u16string code;
        EXPECT_FALSE(ReadLanguagePreference(dir, code));
        WriteLanguagePreference(dir, kLanguageChinese);
    }
    for (const char* lossy : {"?", "\xEF\xBF\xBD", "x"})
        EXPECT_EQ(Get(m_root / lossy / "lang.xml"), kContent) << lossy;
    EXPECT_EQ(Get(m_root / "x-file"), kContent);
}

// Restores the file size limit when the test ends, however it ends.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);  // so write() fails with EFBIG
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool Ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

// A disk that fills up half-way through the save: the file stays as it was.
// A save that truncates the file in place loses it here.
TEST_F(LangFolder, SaveThatRunsOutOfSpaceLeavesTheOriginal)
{
    const std::string original =
        "<config>\n    <lang>zh_cn</lang>\n    <!-- " + std::string(64 * 1024, 'k') + " -->\n</config>\n";
    Put(LangPath(), original);
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Ok());
        WriteLanguagePreference(Dir(), kLanguageEnglish);
    }
    EXPECT_EQ(Get(LangPath()), original);
    EXPECT_EQ(Entries(), std::set<std::string>{"lang.xml"}) << "the partial copy is removed";
}

// Permission checks do not bind root, so these two run as an ordinary user only.
TEST_F(LangFolder, ReadOnlyFolderLeavesTheOriginal)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into a read-only folder";
    const std::string original = "<config><lang>zh_cn</lang></config>";
    Put(LangPath(), original);
    ASSERT_EQ(::chmod(m_root.c_str(), 0555), 0);
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    ASSERT_EQ(::chmod(m_root.c_str(), 0755), 0);
    EXPECT_EQ(Get(LangPath()), original);
    EXPECT_EQ(Entries(), std::set<std::string>{"lang.xml"});
}

TEST_F(LangFolder, ReadOnlyFileIsNotReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write a read-only file";
    const std::string original = "<config><lang>zh_cn</lang></config>";
    Put(LangPath(), original);
    ASSERT_EQ(::chmod(LangPath().c_str(), 0444), 0);
    WriteLanguagePreference(Dir(), kLanguageEnglish);
    EXPECT_EQ(Get(LangPath()), original);
}

TEST(ShippedLangFile, StartsInEnglish)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(StartupLanguage(FromUtf8(VINDREL_SOURCE_DIR "/res/")), kLanguageEnglish);
}

}  // namespace
