// The server book's cost: the tracker and the book beside a consumer that
// only drains sightings (1000 servers answering 2000 times a second), and
// reading a large book (10,000 servers, 100,000 events). No network: the
// sightings are made in process, as the queue hands them over.
//
// Usage: bench_book [--seconds S] [--folder DIR]
#include "book/ServerBook.h"
#include "book/ServerTracker.h"

#include <chrono>
#include <fstream>
#include <sqlite3.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using System = std::chrono::system_clock;

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double Ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::u16string Text(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

ServerRecord Server(int n, long long upSeconds)
{
    ServerRecord r;
    r.Name = Text("nas-" + std::to_string(n));
    r.IP = Text("10." + std::to_string(n / 65536 % 256) + "." + std::to_string(n / 256 % 256) + "." +
                std::to_string(n % 256));
    r.Port = u"80";
    r.Version = u"2.1.4";
    r.Serial = Text("S" + std::to_string(100000 + n));
    r.Mac = u"00-11-22-33-44-55";
    r.DeviceType = u"NAS 4";
    r.KorvanID = Text("KORVAN-" + std::to_string(n));
    char up[32];
    std::snprintf(up, sizeof up, "%lldd %02lld:%02lld", upSeconds / 86400, upSeconds / 3600 % 24, upSeconds / 60 % 60);
    r.UpTime = Text(up);
    return r;
}

// The window's consumer: wakes 30 times a second and takes what the queue
// coalesced (each server's latest sighting). With a book: the tracker, the
// book's batching, a Tick a second.
double SteadyState(double seconds, const std::string* bookPath)
{
    constexpr int kServers = 1000;
    constexpr int kPerSecond = 2000;
    constexpr auto kDrain = 33ms;
    std::unique_ptr<ServerBook> book;
    ServerTracker tracker;
    if (bookPath) {
        BookOptions o;
        o.path = *bookPath;
        book = std::make_unique<ServerBook>(o);
        book->Flush();
    }
    const auto begin = Steady::now();
    const double cpu0 = CpuSeconds();
    long long sent = 0;
    int next = 0;
    auto lastTick = begin;
    std::size_t events = 0;
    while (Steady::now() - begin < std::chrono::duration<double>(seconds)) {
        std::this_thread::sleep_for(kDrain);
        const double elapsed = std::chrono::duration<double>(Steady::now() - begin).count();
        const long long due = static_cast<long long>(elapsed * kPerSecond);
        std::vector<ServerSighting> batch;
        std::vector<bool> queued(kServers, false);
        for (; sent < due; ++sent, next = (next + 1) % kServers) {
            ServerSighting s{Server(next, 86400 + static_cast<long long>(elapsed)), Steady::now(), 1, 0};
            if (!queued[static_cast<std::size_t>(next)]) {
                queued[static_cast<std::size_t>(next)] = true;
                batch.push_back(std::move(s));
            }
        }
        if (!book)
            continue;
        const auto now = System::now();
        auto found = tracker.Observe(batch, now);
        if (Steady::now() - lastTick >= 1s) {
            auto ticked = tracker.Tick(now);
            found.insert(found.end(), ticked.begin(), ticked.end());
            lastTick = Steady::now();
        }
        events += found.size();
        book->Record(std::move(found), tracker.TakeChanged());
    }
    const double wall = std::chrono::duration<double>(Steady::now() - begin).count();
    const double cpu = CpuSeconds() - cpu0;
    if (book)
        std::printf("  (with the book: %zu events, %zu write transactions in %.0f s)\n", events, book->Transactions(),
                    wall);
    return cpu / wall * 100.0;
}

// A book of `servers` servers and `events` events, one server holding
// `oneServerEvents` of them.
void MakeBigBook(const std::string& path, int servers, int events, int oneServerEvents)
{
    BookOptions o;
    o.path = path;
    ServerBook book(o);
    std::vector<KnownServer> known;
    const auto t0 = System::now() - 24h * 30;
    for (int n = 0; n < servers; ++n) {
        const ServerRecord r = Server(n, 86400);
        known.push_back({"KORVAN-" + std::to_string(n), r, t0, t0 + 1h, "10.0.0.1", false, false, {}});
    }
    std::vector<ServerEvent> log;
    for (int i = 0; i < events; ++i) {
        const int n = i < oneServerEvents ? 0 : i % servers;
        const auto kind = i % 3 == 0 ? ServerEvent::Kind::kSilent : ServerEvent::Kind::kBack;
        log.push_back({kind, "KORVAN-" + std::to_string(n), t0 + std::chrono::seconds(i), "10.0.0.1", {}, {}});
    }
    book.Record(std::move(log), std::move(known));
}

// SQLite alone: the rows of `sql` stepped through and their columns read,
// nothing built. The floor under the book's reads.
double RawRead(const std::string& path, const char* sql, std::size_t& rows)
{
    const auto start = Steady::now();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ++rows;
        for (int i = 0; i < sqlite3_column_count(s); ++i)
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(s, i));
    }
    sqlite3_finalize(s);
    sqlite3_close_v2(db);
    return bytes ? Ms(Steady::now() - start) : 0;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one;
    in >> one;
    return one;
}

BookOptions At(const std::string& path)
{
    BookOptions o;
    o.path = path;
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = 20;
    fs::path folder = fs::temp_directory_path() / ("vindrel-bench-book-" + std::to_string(::getpid()));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (name == "--folder")
            folder = argv[i + 1];
    }
    fs::create_directories(folder);

    std::printf("Load average at the start: %s (2 cores)\n", LoadAverage().c_str());
    std::printf("Steady state: 1000 servers, 2000 sightings/s, drained 30 times a second, %.0f s each\n", seconds);
    const double without = SteadyState(seconds, nullptr);
    const std::string steadyBook = (folder / "steady.db").string();
    const double with = SteadyState(seconds, &steadyBook);
    std::printf("  CPU without the book %.2f %% of a core, with it %.2f %%: the book costs %.2f %% of a core\n",
                without, with, with - without);

    const std::string big = (folder / "big.db").string();
    const std::string empty = (folder / "empty.db").string();
    auto t = Steady::now();
    MakeBigBook(big, 10000, 100000, 10000);
    std::printf("Writing a 10,000-server, 100,000-event book: %.0f ms (%.1f MB)\n", Ms(Steady::now() - t),
                static_cast<double>(fs::file_size(big)) / 1e6);
    { ServerBook(At(empty)).Flush(); }

    const auto timeLoad = [](const std::string& path, std::size_t& count) {
        const auto start = Steady::now();
        ServerBook book(At(path));
        count = book.Load().get().size();
        return Ms(Steady::now() - start);
    };
    std::size_t count = 0;
    const double emptyLoad = timeLoad(empty, count);
    const double bigLoad = timeLoad(big, count);
    std::printf("Open and load: empty book %.1f ms; %zu servers %.1f ms (%.1fx)\n", emptyLoad, count, bigLoad,
                bigLoad / emptyLoad);

    ServerBook book(At(big));
    book.Flush();
    t = Steady::now();
    const auto known = book.Load().get();
    const double load = Ms(Steady::now() - t);
    t = Steady::now();
    ServerTracker tracker;
    tracker.Restore(known, System::now());
    const auto list = tracker.Known();
    const double restore = Ms(Steady::now() - t);
    std::printf("Known list of %zu: Load %.1f ms, Restore + Known %.1f ms, together %.1f ms (target < 100 ms)\n",
                list.size(), load, restore, load + restore);
    t = Steady::now();
    const auto history = book.History("KORVAN-0").get();
    const double historyMs = Ms(Steady::now() - t);
    t = Steady::now();
    const auto small = book.History("KORVAN-5").get();
    const double smallMs = Ms(Steady::now() - t);
    std::size_t rows = 0;
    const double rawHistory =
        RawRead(big, "SELECT server, kind, at, from_text, to_text FROM events WHERE server = 'KORVAN-0' ORDER BY seq", rows);
    std::printf("History of %zu events: %.1f ms (target < 50 ms); SQLite alone %.1f ms (%.1fx); of %zu events: %.2f ms\n",
                history.size(), historyMs, rawHistory, historyMs / rawHistory, small.size(), smallMs);
    const double rawServers = RawRead(big, "SELECT * FROM servers ORDER BY id", rows);
    std::printf("Load of %zu servers against SQLite alone: %.1f ms vs %.1f ms (%.1fx)\n", rows, load, rawServers,
                load / rawServers);
    t = Steady::now();
    const auto all = book.AllEvents().get();
    const double allMs = Ms(Steady::now() - t);
    const double rawAll =
        RawRead(big, "SELECT server, kind, at, from_text, to_text FROM events ORDER BY server, seq", rows);
    std::printf("All %zu events (vindrel-scan --history): %.1f ms; SQLite alone %.1f ms (%.1fx)\n", all.size(), allMs,
                rawAll, allMs / rawAll);
    std::printf("Load average at the end: %s\n", LoadAverage().c_str());

    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
