#include "book/ServerBook.h"

#include "base/AppFolders.h"
#include "base/LocaleText.h"
#include "book/BookFile.h"
#include "book/BookSchema.h"
#include "book/IsoTime.h"
#include "discovery/ServerFields.h"

#include <algorithm>
#include <deque>
#include <sqlite3.h>
#include <unordered_map>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

// Events waiting while the file cannot be written; beyond this the oldest go.
constexpr std::size_t kMaxWaitingEvents = 100000;
// How long a write waits for another program's lock before it gives up for
// this round (it is tried again next interval).
constexpr int kBusyMilliseconds = 1000;

long long Millis(SystemClock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}
SystemClock::time_point FromMillis(long long ms)
{
    return SystemClock::time_point(std::chrono::duration_cast<SystemClock::duration>(std::chrono::milliseconds(ms)));
}

std::string FileName(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The field columns in record order, from the one table of fields.
std::string FieldColumns(const char* prefix = "")
{
    std::string columns;
    for (const ServerField& f : kServerFields) {
        columns += columns.empty() ? "" : ", ";
        columns += prefix;
        columns += f.name;
    }
    return columns;
}

const std::string& UpsertSql()
{
    static const std::string sql = [] {
        std::string s = "INSERT INTO servers(id, " + FieldColumns() +
                        ", first_seen, last_seen, last_address, answering, watched, claim_of) VALUES(?";
        for (std::size_t i = 0; i < kServerFields.size() + 6; ++i)
            s += ", ?";
        s += ") ON CONFLICT(id) DO UPDATE SET ";
        for (const ServerField& f : kServerFields)
            s += std::string(f.name) + " = excluded." + std::string(f.name) + ", ";
        s += "first_seen = min(first_seen, excluded.first_seen), last_seen = excluded.last_seen, "
             "last_address = excluded.last_address, answering = excluded.answering, watched = excluded.watched, "
             "claim_of = excluded.claim_of";
        return s;
    }();
    return sql;
}

const std::string& LoadSql()
{
    static const std::string sql = "SELECT id, " + FieldColumns() +
                                   ", first_seen, last_seen, last_address, answering, watched, claim_of "
                                   "FROM servers ORDER BY id";
    return sql;
}

class Statement
{
public:
    Statement(sqlite3* db, const std::string& sql) { m_rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_s, nullptr); }
    ~Statement() { sqlite3_finalize(m_s); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int Prepared() const { return m_rc; }
    void Bind(int i, const std::string& text) { sqlite3_bind_text(m_s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT); }
    void Bind(int i, long long value) { sqlite3_bind_int64(m_s, i, value); }
    int Step() { return sqlite3_step(m_s); }
    int Done()
    {
        const int rc = sqlite3_step(m_s);
        sqlite3_reset(m_s);
        sqlite3_clear_bindings(m_s);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    std::string Text(int i) const
    {
        const auto* text = sqlite3_column_text(m_s, i);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(m_s, i)))
                    : std::string();
    }
    long long Int(int i) const { return sqlite3_column_int64(m_s, i); }

private:
    sqlite3_stmt* m_s = nullptr;
    int m_rc = SQLITE_ERROR;
};

bool IsBroken(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// One line for a person: what is wrong with the book. `systemError` is the
// OS's error behind an I/O failure, 0 when none.
std::string Reason(const std::string& name, int code, const std::string& detail, int systemError = 0)
{
    if ((code & 0xff) == SQLITE_IOERR && IsDiskFull(systemError))
        code = SQLITE_FULL;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return name + " is locked by another program";
    case SQLITE_READONLY:
        return name + " is read-only";
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return name + " cannot be opened for writing (" + detail + ")";
    case SQLITE_FULL:
        return "the disk holding " + name + " is full";
    case SQLITE_IOERR:
        return name + " cannot be written (" + detail + ")";
    default:
        return name + ": " + detail;
    }
}

// A path as the path of a file: URI ('%', '?' and '#' escaped; on Windows
// the drive after a '/').
std::string UriPath(const std::string& path)
{
    std::string uri;
    if (path.size() > 1 && path[1] == ':')
        uri = "/";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[static_cast<unsigned char>(c) >> 4];
            uri += kHex[static_cast<unsigned char>(c) & 15];
        } else {
            uri += c == '\\' ? '/' : c;
        }
    }
    return uri;
}

// "20261211T162905Z" for the name of a file moved aside.
std::string CompactUtc(SystemClock::time_point at)
{
    std::string iso = FormatIsoUtc(at);
    iso.erase(std::remove_if(iso.begin(), iso.end(), [](char c) { return c == '-' || c == ':'; }), iso.end());
    return iso;
}

}  // namespace

struct ServerBook::Worker
{
    explicit Worker(BookOptions o) : options(std::move(o)), name(FileName(options.path)) {}

    // ---- shared, under mutex
    BookOptions options;
    const std::string name;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    std::vector<ServerEvent> events;
    std::vector<std::string> changedOrder;
    std::unordered_map<std::string, KnownServer> changed;
    bool stopping = false;
    BookState state;
    std::size_t transactions = 0;

    // ---- the worker thread's own
    sqlite3* db = nullptr;
    bool emptyBook = false;  // read-only and no file: reads give nothing
    Clock::time_point nextWrite{};
    Clock::time_point nextOpen{};
    std::thread thread;

    bool HasWrites() const { return !events.empty() || !changed.empty(); }

    void SetState(BookState next)
    {
        std::function<void(const BookState&)> notify;
        {
            std::lock_guard lock(mutex);
            if (state == next)
                return;
            state = next;
            notify = options.onStateChange;
        }
        if (notify)
            notify(next);
    }
    void Unavailable(std::string reason) { SetState({BookState::Status::kUnavailable, std::move(reason)}); }

    void Run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!jobs.empty()) {
                auto job = std::move(jobs.front());
                jobs.pop_front();
                lock.unlock();
                job();
                lock.lock();
                continue;
            }
            if (stopping)
                break;
            if (HasWrites() && Clock::now() >= nextWrite) {
                lock.unlock();
                WritePending();
                lock.lock();
                continue;
            }
            if (HasWrites())
                wake.wait_until(lock, nextWrite);
            else
                wake.wait(lock);
        }
        lock.unlock();
        WritePending();  // the last try
        Close();
    }

    void Close()
    {
        sqlite3_close_v2(db);
        db = nullptr;
    }

    // ---- opening

    // True when `db` is open on a current book. Tries at most once per
    // interval while the file cannot be used.
    bool EnsureOpen(bool force = false)
    {
        if (db || emptyBook)
            return true;
        const auto now = Clock::now();
        if (!force && now < nextOpen)
            return false;
        nextOpen = now + options.writeInterval;
        if (options.readOnly)
            return OpenReadOnly();
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto outcome = OpenWritable();
            if (outcome != Open::kMoveAside)
                return outcome == Open::kOpen;
            if (!MoveAside())
                return false;
        }
        return false;
    }

    bool OpenReadOnly()
    {
        if (!FileExists(options.path)) {
            emptyBook = true;
            SetState({BookState::Status::kAvailable, {}});
            return true;
        }
        int rc = sqlite3_open_v2(SqliteFileName(options.path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        long long version = 0;
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db, kBusyMilliseconds);
            Statement s(db, "PRAGMA user_version");
            rc = s.Prepared();
            if (rc == SQLITE_OK && (rc = s.Step()) == SQLITE_ROW) {
                version = s.Int(0);
                rc = SQLITE_OK;
            }
        }
        if (rc != SQLITE_OK) {
            const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
            Close();
            Unavailable(IsBroken(rc) ? name + " is not a server book" : Reason(name, rc, detail));
            return false;
        }
        if (version == 0) {
            Close();
            emptyBook = true;
        } else if (version != static_cast<long long>(BookMigrations().size())) {
            Close();
            Unavailable(version > static_cast<long long>(BookMigrations().size())
                            ? name + " was written by a newer Vindrel"
                            : name + " is of an older layout: start Vindrel once to bring it up to date");
            return false;
        }
        SetState({BookState::Status::kAvailable, {}});
        return true;
    }

    enum class Open { kOpen, kFailed, kMoveAside };

    Open OpenWritable()
    {
        const auto slash = options.path.find_last_of("/\\");
        if (slash != std::string::npos && slash > 0)
            MakeFolders(options.path.substr(0, slash + 1));
        int rc = sqlite3_open_v2(SqliteFileName(options.path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
        if (rc != SQLITE_OK)
            return Fail(rc);
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, kBusyMilliseconds);
        const MigrationResult migrated = MigrateBook(db, BookMigrations());
        switch (migrated.outcome) {
        case MigrationResult::Outcome::kCurrent:
            break;
        case MigrationResult::Outcome::kNewer:
            Close();
            Unavailable(name + " was written by a newer Vindrel; it is left as it is");
            return Open::kFailed;
        case MigrationResult::Outcome::kForeign:
            return CloseForMove();
        case MigrationResult::Outcome::kFailed:
            return IsBroken(migrated.code) ? CloseForMove() : Fail(migrated.code, migrated.error);
        }
        // Only once the file is known to be a book of this layout, so that a
        // file that is not stays byte for byte as it was. WAL: readers
        // (vindrel-scan --history, the window's own reads) never wait for the
        // writer. NORMAL: a power cut may lose the last batch, never the file.
        {
            Statement wal(db, "PRAGMA journal_mode = WAL");
            rc = wal.Prepared();
            if (rc == SQLITE_OK)
                rc = wal.Step() == SQLITE_ROW ? SQLITE_OK : sqlite3_errcode(db);
        }
        if (rc != SQLITE_OK)
            return Fail(rc);
        sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
        SetState({BookState::Status::kAvailable, {}});
        return Open::kOpen;
    }

    Open CloseForMove()
    {
        Close();
        return Open::kMoveAside;
    }

    Open Fail(int rc, std::string detail = {})
    {
        if (detail.empty())
            detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        const int systemError = db ? sqlite3_system_errno(db) : 0;
        Close();
        Unavailable(Reason(name, rc, detail, systemError));
        return Open::kFailed;
    }

    // Keeps what is not a book under a name of its own, and its journal
    // files beside it; a new book starts in its place.
    bool MoveAside()
    {
        const std::string aside = options.path + ".broken-" + CompactUtc(SystemClock::now());
        if (const std::string error = RenameNoReplace(options.path, aside); !error.empty()) {
            Unavailable(name + " is not a server book and cannot be moved aside: " + error);
            return false;
        }
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            if (FileExists(options.path + suffix))
                RenameNoReplace(options.path + suffix, aside + suffix);
        return true;
    }

    // ---- writing

    void WritePending()
    {
        std::vector<ServerEvent> takenEvents;
        std::vector<KnownServer> takenServers;
        {
            std::lock_guard lock(mutex);
            if (!HasWrites())
                return;
            takenEvents.swap(events);
            takenServers.reserve(changedOrder.size());
            for (std::string& id : changedOrder) {
                auto it = changed.find(id);
                if (it == changed.end())
                    continue;
                takenServers.push_back(std::move(it->second));
                changed.erase(it);
            }
            changedOrder.clear();
            changed.clear();
        }
        nextWrite = Clock::now() + options.writeInterval;
        if (options.readOnly)
            return;
        if (EnsureOpen() && !emptyBook) {
            const int rc = Write(takenEvents, takenServers);
            if (rc == SQLITE_OK) {
                std::lock_guard lock(mutex);
                ++transactions;
            }
            if (rc == SQLITE_OK) {
                SetState({BookState::Status::kAvailable, {}});
                return;
            }
            const std::string detail = sqlite3_errmsg(db);
            const int systemError = sqlite3_system_errno(db);
            // A connection that failed mid-way is opened afresh next time.
            Close();
            nextOpen = Clock::now() + options.writeInterval;
            Unavailable(Reason(name, rc, detail, systemError));
        }
        Requeue(std::move(takenEvents), std::move(takenServers));
    }

    // Puts a batch that could not be written back in front of what came
    // since, so that nothing is lost while the file is unavailable.
    void Requeue(std::vector<ServerEvent> olderEvents, std::vector<KnownServer> olderServers)
    {
        std::lock_guard lock(mutex);
        olderEvents.insert(olderEvents.end(), std::make_move_iterator(events.begin()),
                           std::make_move_iterator(events.end()));
        events = std::move(olderEvents);
        if (events.size() > kMaxWaitingEvents)
            events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(events.size() - kMaxWaitingEvents));
        for (KnownServer& k : olderServers) {
            if (changed.contains(k.id))
                continue;  // a newer state came since
            changedOrder.push_back(k.id);
            changed.emplace(k.id, std::move(k));
        }
    }

    int Write(const std::vector<ServerEvent>& newEvents, const std::vector<KnownServer>& servers)
    {
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
        rc = WriteRows(newEvents, servers);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return rc;
    }

    int WriteRows(const std::vector<ServerEvent>& newEvents, const std::vector<KnownServer>& servers)
    {
        if (!servers.empty()) {
            Statement upsert(db, UpsertSql());
            if (upsert.Prepared() != SQLITE_OK)
                return upsert.Prepared();
            for (const KnownServer& k : servers) {
                int i = 1;
                upsert.Bind(i++, k.id);
                for (const ServerField& f : kServerFields)
                    upsert.Bind(i++, ToUtf8(k.fields.*f.member));
                upsert.Bind(i++, Millis(k.firstSeen));
                upsert.Bind(i++, Millis(k.lastSeen));
                upsert.Bind(i++, k.lastAddress);
                upsert.Bind(i++, static_cast<long long>(k.answering));
                upsert.Bind(i++, static_cast<long long>(k.watched));
                upsert.Bind(i++, k.claimOf);
                if (const int rc = upsert.Done(); rc != SQLITE_OK)
                    return rc;
            }
        }
        if (!newEvents.empty()) {
            Statement insert(db, "INSERT INTO events(server, kind, at, from_text, to_text) VALUES(?, ?, ?, ?, ?)");
            if (insert.Prepared() != SQLITE_OK)
                return insert.Prepared();
            for (const ServerEvent& e : newEvents) {
                insert.Bind(1, e.id);
                insert.Bind(2, std::string(EventKindName(e.kind)));
                insert.Bind(3, Millis(e.at));
                insert.Bind(4, e.from);
                insert.Bind(5, e.to);
                if (const int rc = insert.Done(); rc != SQLITE_OK)
                    return rc;
            }
        }
        return SQLITE_OK;
    }

    // ---- reading (after what was asked to be written before)

    // The connection reads go through: the book's own, or where it cannot
    // be written (a read-only disk) one that only reads, for this read.
    sqlite3* ReadyToRead(sqlite3*& readOnly)
    {
        WritePending();
        if (EnsureOpen(true))
            return db;
        if (options.readOnly || !FileExists(options.path))
            return nullptr;
        // A disk that cannot be written cannot hold WAL's shared-memory file
        // either; nobody changes the file there, so it may be read as it is.
        for (const char* query : {"?mode=ro", "?mode=ro&immutable=1"}) {
            const std::string uri = "file:" + UriPath(SqliteFileName(options.path)) + query;
            if (sqlite3_open_v2(uri.c_str(), &readOnly, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
                // Only a book of this program's own layout.
                Statement version(readOnly, "PRAGMA user_version");
                if (version.Prepared() == SQLITE_OK && version.Step() == SQLITE_ROW &&
                    version.Int(0) == static_cast<long long>(BookMigrations().size()))
                    return readOnly;
            }
            sqlite3_close_v2(readOnly);
            readOnly = nullptr;
        }
        return nullptr;
    }

    struct ReadConnection
    {
        explicit ReadConnection(Worker& w) : db(w.ReadyToRead(own)) {}
        ~ReadConnection() { sqlite3_close_v2(own); }
        sqlite3* own = nullptr;
        sqlite3* db;
    };

    std::vector<KnownServer> ReadServers()
    {
        std::vector<KnownServer> all;
        const ReadConnection read(*this);
        if (!read.db)
            return all;
        Statement s(read.db, LoadSql());
        if (s.Prepared() != SQLITE_OK)
            return all;
        while (s.Step() == SQLITE_ROW) {
            KnownServer k;
            int i = 0;
            k.id = s.Text(i++);
            for (const ServerField& f : kServerFields)
                k.fields.*f.member = FromUtf8(s.Text(i++));
            k.firstSeen = FromMillis(s.Int(i++));
            k.lastSeen = FromMillis(s.Int(i++));
            k.lastAddress = s.Text(i++);
            k.answering = s.Int(i++) != 0;
            k.watched = s.Int(i++) != 0;
            k.claimOf = s.Text(i++);
            all.push_back(std::move(k));
        }
        return all;
    }

    std::vector<ServerEvent> ReadEvents(const std::string* id)
    {
        std::vector<ServerEvent> all;
        const ReadConnection read(*this);
        if (!read.db)
            return all;
        // Counted first: an event is a few hundred bytes, and growing the
        // vector step by step costs more than the query.
        {
            Statement count(read.db, id ? "SELECT count(*) FROM events WHERE server = ?" : "SELECT count(*) FROM events");
            if (id)
                count.Bind(1, *id);
            if (count.Prepared() == SQLITE_OK && count.Step() == SQLITE_ROW)
                all.reserve(static_cast<std::size_t>(count.Int(0)));
        }
        Statement s(read.db, id ? "SELECT server, kind, at, from_text, to_text FROM events WHERE server = ? ORDER BY seq"
                           : "SELECT server, kind, at, from_text, to_text FROM events ORDER BY server, seq");
        if (s.Prepared() != SQLITE_OK)
            return all;
        if (id)
            s.Bind(1, *id);
        while (s.Step() == SQLITE_ROW) {
            const auto kind = EventKindFromName(s.Text(1));
            if (!kind)
                continue;  // a kind of a newer program
            all.push_back({*kind, s.Text(0), FromMillis(s.Int(2)), s.Text(3), s.Text(4), {}});
        }
        return all;
    }

    bool Remove(const std::string& id)
    {
        WritePending();
        if (options.readOnly || !EnsureOpen(true) || !db)
            return false;
        int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        bool known = false;
        if (rc == SQLITE_OK) {
            Statement servers(db, "DELETE FROM servers WHERE id = ?");
            Statement history(db, "DELETE FROM events WHERE server = ?");
            servers.Bind(1, id);
            history.Bind(1, id);
            rc = servers.Done();
            known = sqlite3_changes(db) > 0;
            if (rc == SQLITE_OK)
                rc = history.Done();
            known = known || sqlite3_changes(db) > 0;
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            const std::string detail = sqlite3_errmsg(db);
            const int systemError = sqlite3_system_errno(db);
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            Unavailable(Reason(name, rc, detail, systemError));
            return false;
        }
        std::lock_guard lock(mutex);
        ++transactions;
        return known;
    }

    void Post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }
};

ServerBook::ServerBook(BookOptions options) : m_worker(std::make_unique<Worker>(std::move(options)))
{
    Worker* w = m_worker.get();
    // Open at once, so that State() soon tells.
    w->jobs.push_back([w] { w->EnsureOpen(true); });
    w->thread = std::thread([w] { w->Run(); });
}

ServerBook::~ServerBook()
{
    {
        std::lock_guard lock(m_worker->mutex);
        m_worker->stopping = true;
    }
    m_worker->wake.notify_one();
    m_worker->thread.join();
}

BookState ServerBook::State() const
{
    std::lock_guard lock(m_worker->mutex);
    return m_worker->state;
}

void ServerBook::Load(std::function<void(std::vector<KnownServer>)> done)
{
    Worker* w = m_worker.get();
    w->Post([w, done = std::move(done)] { done(w->ReadServers()); });
}

std::future<std::vector<KnownServer>> ServerBook::Load()
{
    auto promise = std::make_shared<std::promise<std::vector<KnownServer>>>();
    auto future = promise->get_future();
    Load([promise](std::vector<KnownServer> all) { promise->set_value(std::move(all)); });
    return future;
}

void ServerBook::Record(std::vector<ServerEvent> events, std::vector<KnownServer> changed)
{
    if (events.empty() && changed.empty())
        return;
    Worker* w = m_worker.get();
    {
        std::lock_guard lock(w->mutex);
        if (w->options.readOnly)
            return;
        if (w->events.empty())
            w->events = std::move(events);
        else
            w->events.insert(w->events.end(), std::make_move_iterator(events.begin()),
                             std::make_move_iterator(events.end()));
        for (KnownServer& k : changed) {
            auto [it, added] = w->changed.try_emplace(k.id);
            if (added)
                w->changedOrder.push_back(k.id);
            it->second = std::move(k);
        }
    }
    w->wake.notify_one();
}

void ServerBook::History(std::string id, std::function<void(std::vector<ServerEvent>)> done)
{
    Worker* w = m_worker.get();
    w->Post([w, id = std::move(id), done = std::move(done)] { done(w->ReadEvents(&id)); });
}

std::future<std::vector<ServerEvent>> ServerBook::History(std::string id)
{
    auto promise = std::make_shared<std::promise<std::vector<ServerEvent>>>();
    auto future = promise->get_future();
    History(std::move(id), [promise](std::vector<ServerEvent> all) { promise->set_value(std::move(all)); });
    return future;
}

std::future<std::vector<ServerEvent>> ServerBook::AllEvents()
{
    auto promise = std::make_shared<std::promise<std::vector<ServerEvent>>>();
    auto future = promise->get_future();
    Worker* w = m_worker.get();
    w->Post([w, promise] { promise->set_value(w->ReadEvents(nullptr)); });
    return future;
}

std::future<bool> ServerBook::Forget(std::string id)
{
    auto promise = std::make_shared<std::promise<bool>>();
    auto future = promise->get_future();
    Worker* w = m_worker.get();
    w->Post([w, promise, id = std::move(id)] { promise->set_value(w->Remove(id)); });
    return future;
}

void ServerBook::Flush()
{
    std::promise<void> done;
    Worker* w = m_worker.get();
    w->Post([w, &done] {
        w->WritePending();
        done.set_value();
    });
    done.get_future().wait();
}

std::size_t ServerBook::Transactions() const
{
    std::lock_guard lock(m_worker->mutex);
    return m_worker->transactions;
}

std::string BookPath(const AppFolders& folders) { return folders.state + "servers.db"; }
