// lang.xml on disks that fail: read-only file systems, a full disk, files
// only someone else may touch, links and special files. Reads fall back to
// Chinese where the file cannot be read; a write never truncates, corrupts
// or replaces what is there, and leaves no stray file behind.
//
// Each case gets a small tmpfs of its own, mounted in a private mount
// namespace (root); reads and writes run in a child process, so that a hang
// shows as a failure and a case can drop to an ordinary user.
#include "base/LocaleText.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <map>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
const std::string kOriginal = "<?xml version=\"1.0\"?>\n<config>\n    <lang>en</lang>\n</config>\n";

// Mounts made after this stay in this process's own mount namespace.
bool PrivateMounts()
{
    static const bool ok = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

std::string Get(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Put(const fs::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good();
}

// Everything below `root` with its content (links by their target), so that a
// stray temporary, a replaced link or a changed byte shows.
std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> all;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string name = fs::relative(it->path(), root, ec).string();
        // The entry itself, never what a link points at (which may loop).
        const fs::file_status status = it->symlink_status(ec);
        if (fs::is_symlink(status))
            all[name] = "-> " + fs::read_symlink(it->path(), ec).string();
        else if (fs::is_regular_file(status))
            all[name] = Get(it->path());
        else
            all[name] = fs::is_directory(status) ? "<dir>" : "<special>";
    }
    return all;
}

// A tmpfs of `kilobytes` at a fresh folder; gone with the test.
class SmallDisk
{
public:
    explicit SmallDisk(int kilobytes)
    {
        std::string pattern = (fs::temp_directory_path() / "vindrel-disk-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return;
        m_path = pattern;
        const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
        m_mounted = ::mount("vindrel-test", m_path.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    bool Ok() const { return m_mounted; }
    const fs::path& Path() const { return m_path; }
    bool MakeReadOnly() const
    {
        return ::mount(nullptr, m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    // Fills what is left with one file.
    void Fill() const
    {
        const int fd = ::open((m_path / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {}
        for (const std::size_t small : {512u, 64u, 1u})
            while (::write(fd, block.data(), small) > 0) {}
        ::close(fd);
    }

private:
    fs::path m_path;
    bool m_mounted = false;
};

struct Outcome
{
    bool finished = false;  // the child ended within the time limit
    bool readable = false;
    std::u16string code;
    std::u16string startup;  // what a window would start in
};

// Reads, then writes `next`, in a child process (as `uid` when not root).
Outcome ReadThenWrite(const fs::path& dir, std::u16string_view next, uid_t uid)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    const pid_t child = ::fork();
    if (child < 0)
        return {};
    if (child == 0) {
        ::close(pipeFds[0]);
        ::alarm(5);  // a read that hangs ends here, with a signal
        if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
            ::_exit(3);
        const std::u16string folder = FromUtf8(dir.string() + "/");
        std::u16string code;
        const bool readable = ReadLanguagePreference(folder, code);
        const std::string report =
            std::string(readable ? "1" : "0") + ToUtf8(code) + "\n" + ToUtf8(StartupLanguage(folder));
        WriteLanguagePreference(folder, next);
        if (::write(pipeFds[1], report.data(), report.size()) != static_cast<ssize_t>(report.size()))
            ::_exit(4);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome outcome;
    outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const auto lf = report.find('\n');
    if (!outcome.finished || report.empty() || lf == std::string::npos)
        return outcome;
    outcome.readable = report[0] == '1';
    outcome.code = FromUtf8(report.substr(1, lf - 1));
    outcome.startup = FromUtf8(report.substr(lf + 1));
    return outcome;
}

struct FaultCase
{
    const char* why;
    // Builds the case in `disk`; gives the instance folder.
    std::function<fs::path(const SmallDisk& disk)> arrange;
    uid_t user;     // who runs the program: 0 root, else kNobody
    bool readable;  // whether the read finds the code "en"
};

fs::path FolderIn(const SmallDisk& disk, const char* name, uid_t owner)
{
    const fs::path folder = disk.Path() / name;
    fs::create_directories(folder);
    if (::chown(folder.c_str(), owner, owner) != 0)
        ADD_FAILURE() << "chown " << folder;
    return folder;
}

fs::path WithLangFile(const SmallDisk& disk, uid_t owner, mode_t fileMode, mode_t folderMode)
{
    const fs::path folder = FolderIn(disk, "app", owner);
    EXPECT_TRUE(Put(folder / "lang.xml", kOriginal));
    EXPECT_EQ(::chown((folder / "lang.xml").c_str(), owner, owner), 0);
    EXPECT_EQ(::chmod((folder / "lang.xml").c_str(), fileMode), 0);
    EXPECT_EQ(::chmod(folder.c_str(), folderMode), 0);
    return folder;
}

const FaultCase kFaultCases[] = {
    {"a read-only file system is read and never written",
     [](const SmallDisk& disk) {
         const fs::path folder = WithLangFile(disk, 0, 0644, 0755);
         EXPECT_TRUE(disk.MakeReadOnly());
         return folder;
     },
     0, true},
    {"a full disk keeps the old file whole",
     [](const SmallDisk& disk) {
         const fs::path folder = WithLangFile(disk, 0, 0644, 0755);
         disk.Fill();
         return folder;
     },
     0, true},
    {"a full disk keeps a long file whole",
     [](const SmallDisk& disk) {
         const fs::path folder = FolderIn(disk, "app", 0);
         EXPECT_TRUE(Put(folder / "lang.xml",
                         "<config>\n  <lang>en</lang>\n  <!--" + std::string(20000, 'c') + "-->\n</config>\n"));
         disk.Fill();
         return folder;
     },
     0, true},
    {"a folder the user may not write keeps the file as it was",
     [](const SmallDisk& disk) { return WithLangFile(disk, 0, 0666, 0755); }, kNobody, true},
    {"a read-only file in the user's own folder is not replaced",
     [](const SmallDisk& disk) { return WithLangFile(disk, kNobody, 0444, 0755); }, kNobody, true},
    {"an unreadable file falls back and is not replaced",
     [](const SmallDisk& disk) { return WithLangFile(disk, 0, 0600, 0777); }, kNobody, false},
    {"a link into a read-only file system stays a link to the old file",
     [](const SmallDisk& disk) {
         const fs::path shared = WithLangFile(disk, 0, 0644, 0755);
         const fs::path folder = FolderIn(disk, "link", 0);
         fs::create_symlink(shared / "lang.xml", folder / "lang.xml");
         EXPECT_EQ(::mount((shared.string()).c_str(), shared.c_str(), nullptr, MS_BIND, nullptr), 0);
         EXPECT_EQ(::mount(nullptr, shared.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
         return folder;
     },
     0, true},
    {"a link to itself falls back",
     [](const SmallDisk& disk) {
         const fs::path folder = FolderIn(disk, "app", 0);
         fs::create_symlink("lang.xml", folder / "lang.xml");
         return folder;
     },
     0, false},
    {"a named pipe neither hangs the read nor is written",
     [](const SmallDisk& disk) {
         const fs::path folder = FolderIn(disk, "app", 0);
         EXPECT_EQ(::mkfifo((folder / "lang.xml").c_str(), 0644), 0);
         return folder;
     },
     0, false},
    {"a link to an endless device falls back",
     [](const SmallDisk& disk) {
         const fs::path folder = FolderIn(disk, "app", 0);
         fs::create_symlink("/dev/zero", folder / "lang.xml");
         return folder;
     },
     0, false},
};

class LangFileFault : public ::testing::TestWithParam<FaultCase>
{
protected:
    void SetUp() override
    {
        if (!PrivateMounts())
            GTEST_SKIP() << "mounts a tmpfs: needs root";
        ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    }
};

TEST_P(LangFileFault, ReadFallsBackAndWriteChangesNothing)
{
    const FaultCase& c = GetParam();
    SmallDisk disk(64);
    ASSERT_TRUE(disk.Ok()) << std::strerror(errno);
    const fs::path folder = c.arrange(disk);
    const auto before = Snapshot(disk.Path());

    const Outcome outcome = ReadThenWrite(folder, kLanguageChinese, c.user);
    ASSERT_TRUE(outcome.finished) << "the child hung or failed";
    EXPECT_EQ(outcome.readable, c.readable);
    if (c.readable) {
        EXPECT_EQ(outcome.code, kLanguageEnglish);
    }
    EXPECT_EQ(outcome.startup, c.readable ? kLanguageEnglish : kLanguageChinese);
    EXPECT_EQ(Snapshot(disk.Path()), before) << "the write changed the disk";
}

INSTANTIATE_TEST_SUITE_P(Faults, LangFileFault, ::testing::ValuesIn(kFaultCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             std::string name = info.param.why;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// The control: on a healthy small disk, the same write does change the file,
// so the cases above fail for the reason they name.
TEST(LangFileOnSmallDisk, HealthyDiskTakesTheWrite)
{
    if (!PrivateMounts())
        GTEST_SKIP() << "mounts a tmpfs: needs root";
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    SmallDisk disk(64);
    ASSERT_TRUE(disk.Ok());
    const fs::path folder = WithLangFile(disk, 0, 0644, 0755);
    const Outcome outcome = ReadThenWrite(folder, kLanguageChinese, 0);
    ASSERT_TRUE(outcome.finished);
    std::u16string code;
    EXPECT_TRUE(ReadLanguagePreference(FromUtf8(folder.string() + "/"), code));
    EXPECT_EQ(code, kLanguageChinese);
    EXPECT_EQ(Snapshot(folder).size(), 1u);
}

}  // namespace
