// The book on disks that fail: read-only and full. Each case gets a small
// tmpfs of its own in a private mount namespace (root); without root the
// cases are skipped.
#include "BookFiles.h"
#include "book/ServerBook.h"
#include "book/ServerTracker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

// Mounts made after this stay in this process's own mount namespace. The
// first call must come before any thread starts.
bool PrivateMounts()
{
    static const bool ok = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

class SmallDisk
{
public:
    explicit SmallDisk(int kilobytes)
    {
        if (!PrivateMounts())
            return;
        m_mounted = ::mount("vindrel-book-test", m_folder.Path().c_str(), "tmpfs", 0,
                            ("size=" + std::to_string(kilobytes) + "k,mode=0755").c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.Path().c_str(), MNT_DETACH);
    }
    bool Ok() const { return m_mounted; }
    std::string Book() const { return m_folder.Book(); }
    fs::path Filler() const { return m_folder.Path() / "filler"; }
    bool MakeReadOnly() const
    {
        return ::mount(nullptr, m_folder.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    void Fill() const
    {
        const int fd = ::open(Filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const std::string block(4096, 'f');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {}
        while (fd >= 0 && ::write(fd, block.data(), 1) > 0) {}
        ::close(fd);
    }

private:
    BookFolder m_folder;
    bool m_mounted = false;
};

ServerRecord Server(int n)
{
    ServerRecord r;
    r.Name = u"nas" + std::u16string(40, u'n');
    r.IP = u"10.0." + std::u16string(1, static_cast<char16_t>(u'0' + n / 100)) + u"." +
           std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
    r.Version = u"2.1." + std::u16string(1, static_cast<char16_t>(u'0' + n % 10));
    r.KorvanID = u"KORVAN-" + std::u16string(1, static_cast<char16_t>(u'A' + n % 26)) +
                 std::u16string(1, static_cast<char16_t>(u'A' + n / 26 % 26));
    r.UpTime = u"3d 4h";
    return r;
}

// Many servers found, renamed and updated: a few hundred kilobytes of book.
struct Traffic
{
    ServerTracker tracker;
    std::vector<ServerEvent> events;
    std::vector<KnownServer> changed;

    explicit Traffic(int servers, int rounds)
    {
        const Clock::time_point t0 = Clock::time_point(1'765'000'000'000ms);
        for (int round = 0; round < rounds; ++round) {
            std::vector<ServerSighting> sightings;
            for (int n = 0; n < servers; ++n) {
                ServerRecord r = Server(n);
                r.Name += std::u16string(1, static_cast<char16_t>(u'a' + round % 26));
                sightings.push_back({r, {}, 0, 0});
            }
            auto more = tracker.Observe(sightings, t0 + round * 1s);
            events.insert(events.end(), more.begin(), more.end());
        }
        changed = tracker.TakeChanged();
    }
};

BookOptions Options(const SmallDisk& disk)
{
    BookOptions o;
    o.path = disk.Book();
    o.writeInterval = 100ms;
    return o;
}

TEST(BookDisk, AReadOnlyDiskMakesTheBookUnavailableButReadable)
{
    SmallDisk disk(1024);
    if (!disk.Ok())
        GTEST_SKIP() << "needs root for a tmpfs in a private mount namespace";
    Traffic traffic(20, 2);
    {
        ServerBook book(Options(disk));
        book.Record(traffic.events, traffic.changed);
    }
    ASSERT_TRUE(disk.MakeReadOnly());
    ServerBook book(Options(disk));
    Traffic more(3, 1);
    const auto begin = std::chrono::steady_clock::now();
    book.Record(more.events, more.changed);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 50ms);
    book.Flush();
    const BookState state = book.State();
    EXPECT_FALSE(state.Available());
    EXPECT_NE(state.reason.find("servers.db"), std::string::npos) << state.reason;
    EXPECT_EQ(state.reason.find('\n'), std::string::npos);
    EXPECT_EQ(book.Load().get(), traffic.tracker.Known()) << "what is there is still shown";
    EXPECT_EQ(book.AllEvents().get().size(), traffic.events.size());
}

TEST(BookDisk, AReadOnlyDiskWithoutABookLeavesItEmpty)
{
    SmallDisk disk(256);
    if (!disk.Ok())
        GTEST_SKIP() << "needs root for a tmpfs in a private mount namespace";
    ASSERT_TRUE(disk.MakeReadOnly());
    ServerBook book(Options(disk));
    Traffic traffic(3, 1);
    book.Record(traffic.events, traffic.changed);
    EXPECT_TRUE(book.Load().get().empty());
    EXPECT_FALSE(book.State().Available());
    EXPECT_NE(book.State().reason.find("servers.db"), std::string::npos) << book.State().reason;
}

TEST(BookDisk, AFullDiskHoldsTheWritesUntilThereIsRoomAndLosesNothing)
{
    SmallDisk disk(512);
    if (!disk.Ok())
        GTEST_SKIP() << "needs root for a tmpfs in a private mount namespace";
    BookOptions o = Options(disk);
    ServerBook book(o);
    book.Flush();
    ASSERT_TRUE(book.State().Available()) << book.State().reason;
    disk.Fill();

    Traffic traffic(200, 10);
    book.Record(traffic.events, traffic.changed);
    book.Flush();
    EXPECT_FALSE(book.State().Available());
    EXPECT_EQ(book.State().reason, "the disk holding servers.db is full");

    fs::remove(disk.Filler());
    std::this_thread::sleep_for(150ms);
    book.Flush();
    EXPECT_TRUE(book.State().Available()) << book.State().reason;
    EXPECT_EQ(book.Load().get(), traffic.tracker.Known());
    EXPECT_EQ(book.AllEvents().get().size(), traffic.events.size());
}

}  // namespace
