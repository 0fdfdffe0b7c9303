#pragma once

#include "book/KnownServer.h"
#include "book/ServerEvent.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AppFolders;

// Whether the book is being kept, and if not why, in one line for a person
// ("servers.db is locked by another program").
struct BookState
{
    enum class Status { kOpening, kAvailable, kUnavailable };
    Status status = Status::kOpening;
    std::string reason;  // empty when available

    bool Available() const { return status == Status::kAvailable; }
    bool operator==(const BookState&) const = default;
};

struct BookOptions
{
    std::string path;  // the servers.db file, 8-bit text in the file system's encoding
    // At most one write transaction per interval; the first change after a
    // quiet spell is written at once.
    std::chrono::milliseconds writeInterval{5000};
    // Reads only: never creates, migrates or writes the file
    // (vindrel-scan --history). A missing file reads as an empty book.
    bool readOnly = false;
    // Called on the worker thread whenever State() changes. Must not call
    // back into the book.
    std::function<void(const BookState&)> onStateChange;
};

// The server book: the known servers and their events in an SQLite file
// (WAL, schema version in PRAGMA user_version, BookSchema.h), kept by one
// worker thread that owns the connection. Every call returns at once; reads
// answer on the worker thread through a callback (or a future), after every
// write asked for before them. A file that cannot be used never stops the
// caller: State() says why, writes wait in memory and are tried again every
// writeInterval, reads give nothing. A file that is not a database is moved
// aside as "<path>.broken-<UTC time>" and a new book started; nothing is
// ever deleted or overwritten.
//
// Any thread may call it; callbacks run on the worker and must not block on
// the book.
class ServerBook final
{
public:
    explicit ServerBook(BookOptions options);
    ServerBook(const ServerBook&) = delete;
    ServerBook& operator=(const ServerBook&) = delete;
    // Writes what is pending (one last try), then joins the worker.
    ~ServerBook();

    BookState State() const;

    // Every known server, ordered by id, with `answering` as last written.
    void Load(std::function<void(std::vector<KnownServer>)> done);
    std::future<std::vector<KnownServer>> Load();

    // Queues a write: the events, and the latest state of the servers that
    // changed (ServerTracker::TakeChanged). Nothing is written while nothing
    // is queued.
    void Record(std::vector<ServerEvent> events, std::vector<KnownServer> changed);

    // One server's events, oldest first (`fields` empty).
    void History(std::string id, std::function<void(std::vector<ServerEvent>)> done);
    std::future<std::vector<ServerEvent>> History(std::string id);
    // Every server's events, by server, oldest first.
    std::future<std::vector<ServerEvent>> AllEvents();

    // Removes the server and its events; answers whether it was known.
    std::future<bool> Forget(std::string id);

    // Blocks until everything queued before it has been tried (tests, exit).
    void Flush();

    // Write transactions committed so far (for tests and benchmarks).
    std::size_t Transactions() const;

private:
    struct Worker;
    std::unique_ptr<Worker> m_worker;
};

// servers.db in the program's state folder.
std::string BookPath(const AppFolders& folders);
