// The book on real files in a temporary folder: what a restart keeps, how
// older and foreign files are treated, and that a file that cannot be used
// never holds up the caller or loses what it was given.
#include "BookFiles.h"
#include "book/BookSchema.h"
#include "book/ServerBook.h"
#include "book/ServerTracker.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

const Clock::time_point kT0 = Clock::time_point(1'765'000'000'123ms);

ServerRecord Server(std::u16string ip, std::u16string id, std::u16string version = u"2.1.4")
{
    ServerRecord r;
    r.Name = u"nas <b>" + id;
    r.IP = std::move(ip);
    r.Port = u"80";
    r.Version = std::move(version);
    r.Serial = u"S-" + id;
    r.Mac = u"00-11-22-33-44-55";
    r.DeviceType = u"NAS 4";
    r.KorvanID = std::move(id);
    r.UpTime = u"3d 4h";
    return r;
}

std::vector<ServerSighting> Sightings(std::vector<ServerRecord> records)
{
    std::vector<ServerSighting> all;
    for (ServerRecord& r : records)
        all.push_back({std::move(r), {}, 0, 0});
    return all;
}

BookOptions Options(const BookFolder& folder, std::chrono::milliseconds interval = 100ms)
{
    BookOptions o;
    o.path = folder.Book();
    o.writeInterval = interval;
    return o;
}

// A tracker's day: two servers found, one moved and updated, one watched.
struct Day
{
    ServerTracker tracker;
    std::vector<ServerEvent> events;

    Day()
    {
        Add(tracker.Observe(Sightings({Server(u"10.0.0.20", u"KORVAN-0003"), Server(u"10.0.0.21", u"KORVAN-0004")}),
                            kT0));
        Add(tracker.Observe(Sightings({Server(u"10.0.0.35", u"KORVAN-0003", u"2.1.5")}), kT0 + 1h));
        tracker.SetWatched("KORVAN-0004", true);
    }
    void Add(std::vector<ServerEvent> more) { events.insert(events.end(), more.begin(), more.end()); }
};

std::vector<std::string> Kinds(const std::vector<ServerEvent>& events)
{
    std::vector<std::string> kinds;
    for (const ServerEvent& e : events)
        kinds.push_back(std::string(EventKindName(e.kind)) + " " + e.from + ">" + e.to);
    return kinds;
}

TEST(Book, ARestartKeepsEveryServerAndEvent)
{
    BookFolder folder;
    Day day;
    {
        ServerBook book(Options(folder));
        book.Record(day.events, day.tracker.TakeChanged());
    }
    ServerBook book(Options(folder));
    const std::vector<KnownServer> loaded = book.Load().get();
    EXPECT_EQ(loaded, day.tracker.Known());
    EXPECT_TRUE(book.State().Available()) << book.State().reason;
    EXPECT_EQ(Kinds(book.History("KORVAN-0003").get()),
              (std::vector<std::string>{"found >10.0.0.20", "moved 10.0.0.20>10.0.0.35", "version 2.1.4>2.1.5"}));
    const auto history = book.History("KORVAN-0003").get();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[1].at, kT0 + 1h);
    EXPECT_EQ(book.AllEvents().get().size(), 4u);
    EXPECT_TRUE(book.History("nobody").get().empty());

    // A tracker restored from it goes on as if never stopped.
    ServerTracker next;
    next.Restore(loaded, kT0 + 2h);
    EXPECT_EQ(next.Known(), day.tracker.Known());
}

TEST(Book, WritesAreBatchedAndNothingIsWrittenWhileNothingChanges)
{
    BookFolder folder;
    ServerBook book(Options(folder, 300ms));
    ServerTracker tracker;
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) {
        auto events = tracker.Observe(Sightings({Server(u"10.0.0.20", u"KORVAN-0003")}), kT0 + i * 25ms);
        book.Record(std::move(events), tracker.TakeChanged());
        std::this_thread::sleep_for(25ms);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::this_thread::sleep_for(400ms);
    const std::size_t written = book.Transactions();
    EXPECT_GE(written, 1u);
    EXPECT_LE(written, static_cast<std::size_t>(seconds / 0.3) + 2) << "at most one per interval";
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(book.Transactions(), written) << "no write while nothing changes";
    const auto loaded = book.Load().get();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].lastSeen, kT0 + 39 * 25ms) << "the latest state is what was written";
}

TEST(Book, ForgetRemovesTheServerAndItsHistory)
{
    BookFolder folder;
    Day day;
    ServerBook book(Options(folder));
    book.Record(day.events, day.tracker.TakeChanged());
    EXPECT_TRUE(book.Forget("KORVAN-0003").get());
    EXPECT_FALSE(book.Forget("KORVAN-0003").get());
    const auto loaded = book.Load().get();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].id, "KORVAN-0004");
    EXPECT_TRUE(book.History("KORVAN-0003").get().empty());
    EXPECT_EQ(book.History("KORVAN-0004").get().size(), 1u);
}

TEST(Book, AReaderNeverCreatesAFileAndReadsWhatAWriterHolds)
{
    BookFolder folder;
    BookOptions readOnly = Options(folder);
    readOnly.readOnly = true;
    {
        ServerBook reader(readOnly);
        EXPECT_TRUE(reader.Load().get().empty());
        EXPECT_TRUE(reader.State().Available());
        EXPECT_FALSE(reader.Forget("x").get());
    }
    EXPECT_TRUE(folder.Files("servers.db").empty()) << "reading made no file";

    Day day;
    ServerBook writer(Options(folder));
    writer.Record(day.events, day.tracker.TakeChanged());
    writer.Flush();
    ServerBook reader(readOnly);
    EXPECT_EQ(reader.Load().get().size(), 2u);
    EXPECT_EQ(reader.AllEvents().get().size(), 4u);
}

// Layouts: a file at layout 1 with a server in it, as this program writes.
void MakeLayout1(const std::string& path)
{
    RawBook raw(path);
    ASSERT_EQ(MigrateBook(raw.Db(), BookMigrations()).outcome, MigrationResult::Outcome::kCurrent);
    ASSERT_EQ(raw.Exec("INSERT INTO servers(id, Name, first_seen, last_seen, last_address) "
                       "VALUES('K1', 'nas1', 1, 2, '10.0.0.1')"),
              SQLITE_OK);
}

TEST(Migration, EveryEarlierLayoutBecomesTheCurrentOne)
{
    struct Case
    {
        const char* why;
        void (*arrange)(const std::string& path);
        std::size_t servers;
    };
    const Case cases[] = {
        {"no file at all", [](const std::string&) {}, 0},
        {"an empty file (layout 0)", [](const std::string& path) { WriteAll(path, ""); }, 0},
        {"an empty database (layout 0)", [](const std::string& path) { RawBook(path).Exec("PRAGMA user_version = 0"); },
         0},
        {"layout 1", MakeLayout1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        BookFolder folder;
        c.arrange(folder.Book());
        {
            ServerBook book(Options(folder));
            EXPECT_EQ(book.Load().get().size(), c.servers);
            EXPECT_TRUE(book.State().Available()) << book.State().reason;
        }
        RawBook raw(folder.Book());
        EXPECT_EQ(raw.Int("PRAGMA user_version"), static_cast<long long>(BookMigrations().size()));
        EXPECT_EQ(raw.Text("PRAGMA journal_mode"), "wal");
        EXPECT_EQ(folder.Files("servers.db.broken").size(), 0u);
    }
}

TEST(Migration, StepsRunInOrderKeepTheDataAndFailAsAWhole)
{
    BookFolder folder;
    MakeLayout1(folder.Book());
    RawBook raw(folder.Book());
    // A layout 2 that a later program might bring: a new column, filled in.
    const BookMigration toLayout2{"ALTER TABLE servers ADD COLUMN note TEXT NOT NULL DEFAULT '';"
                                  "UPDATE servers SET note = 'was ' || Name"};
    std::vector<BookMigration> later(BookMigrations().begin(), BookMigrations().end());
    later.push_back(toLayout2);
    EXPECT_EQ(MigrateBook(raw.Db(), later).outcome, MigrationResult::Outcome::kCurrent);
    EXPECT_EQ(raw.Int("PRAGMA user_version"), 2);
    EXPECT_EQ(raw.Int("SELECT count(*) FROM servers WHERE note = 'was nas1'"), 1);

    // A step that fails leaves the file at the layout it had.
    std::vector<BookMigration> broken = later;
    broken.push_back({"ALTER TABLE servers ADD COLUMN extra TEXT; THIS IS NOT SQL"});
    const MigrationResult failed = MigrateBook(raw.Db(), broken);
    EXPECT_EQ(failed.outcome, MigrationResult::Outcome::kFailed);
    EXPECT_FALSE(failed.error.empty());
    EXPECT_EQ(raw.Int("PRAGMA user_version"), 2);
    EXPECT_EQ(raw.Int("SELECT count(*) FROM pragma_table_info('servers') WHERE name = 'extra'"), 0);

    // This program meets the newer layout: it leaves it alone.
    EXPECT_EQ(MigrateBook(raw.Db(), BookMigrations()).outcome, MigrationResult::Outcome::kNewer);
}

TEST(BookFaults, AFileOfANewerProgramIsLeftAsItIs)
{
    BookFolder folder;
    MakeLayout1(folder.Book());
    RawBook(folder.Book()).Exec("PRAGMA user_version = 99");
    const std::string before = ReadAll(folder.Book());
    {
        ServerBook book(Options(folder));
        book.Record(Day().events, Day().tracker.TakeChanged());
        EXPECT_TRUE(book.Load().get().empty());
        EXPECT_FALSE(book.State().Available());
        EXPECT_NE(book.State().reason.find("newer"), std::string::npos) << book.State().reason;
    }
    EXPECT_TRUE(ReadAll(folder.Book()) == before) << "left byte for byte";
}

TEST(BookFaults, WhatIsNoBookIsMovedAsideUntouchedAndANewBookStarts)
{
    struct Case
    {
        const char* why;
        void (*arrange)(const std::string& path);
    };
    const Case cases[] = {
        {"garbage", [](const std::string& path) { WriteAll(path, std::string(5000, 'x') + "not a database"); }},
        {"a text file", [](const std::string& path) { WriteAll(path, "servers:\n  - nas1\n"); }},
        {"someone else's database", [](const std::string& path) { RawBook(path).Exec("CREATE TABLE songs(t TEXT)"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        BookFolder folder;
        c.arrange(folder.Book());
        const std::string before = ReadAll(folder.Book());
        BookState seen;
        {
            BookOptions o = Options(folder);
            ServerBook book(o);
            Day day;
            book.Record(day.events, day.tracker.TakeChanged());
            EXPECT_EQ(book.Load().get().size(), 2u);
            seen = book.State();
        }
        EXPECT_TRUE(seen.Available()) << seen.reason;
        const auto aside = folder.Files("servers.db.broken-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_TRUE(ReadAll(aside[0]) == before) << "kept byte for byte";
        EXPECT_EQ(RawBook(folder.Book()).Int("SELECT count(*) FROM servers"), 2);
    }
}

TEST(BookFaults, ABookLockedByAnotherProgramWaitsAndLosesNothing)
{
    BookFolder folder;
    { ServerBook(Options(folder)).Flush(); }
    RawBook other(folder.Book());
    ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);

    std::vector<BookState> states;
    std::mutex statesMutex;
    BookOptions o = Options(folder, 200ms);
    o.onStateChange = [&](const BookState& s) {
        std::lock_guard lock(statesMutex);
        states.push_back(s);
    };
    ServerBook book(o);
    Day day;
    const auto begin = std::chrono::steady_clock::now();
    book.Record(day.events, day.tracker.TakeChanged());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 50ms) << "the caller never waits for the disk";
    book.Flush();
    EXPECT_FALSE(book.State().Available());
    EXPECT_EQ(book.State().reason, "servers.db is locked by another program");

    ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
    std::this_thread::sleep_for(300ms);
    book.Flush();
    EXPECT_TRUE(book.State().Available()) << book.State().reason;
    EXPECT_EQ(book.Load().get(), day.tracker.Known()) << "what waited was written";
    EXPECT_EQ(book.AllEvents().get().size(), day.events.size());
    std::lock_guard lock(statesMutex);
    ASSERT_GE(states.size(), 2u);
    EXPECT_FALSE(states[states.size() - 2].Available());
    EXPECT_TRUE(states.back().Available());
}

}  // namespace
