#pragma once

#include "book/KnownServer.h"
#include "book/ServerBook.h"
#include "book/ServerEvent.h"
#include "book/ServerTracker.h"
#include "discovery/ServerQueue.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Every server the program has ever heard, by its own identity, and what
// happened to it: the tracker turns the feed's batches into events on the
// GUI thread (cheap, in memory), the book keeps both in servers.db on its
// own worker thread. A book that cannot be used is told once through
// HistoryUnavailable and the rest goes on in memory. GUI thread only.
class KnownServers final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KnownServers)

public:
    using Clock = std::chrono::system_clock;

    // `bookPath` empty: no file, the servers are known for this run only.
    explicit KnownServers(std::string bookPath, QObject* parent = nullptr);
    // Writes what is pending, then closes the book.
    ~KnownServers() override;

    // Reads the book on its worker and takes it over when read (Loaded);
    // sightings heard meanwhile are kept and applied after it.
    void Load();
    bool IsLoaded() const { return m_loaded; }

    // The feed's batches; heard at the wall clock's now.
    void Take(const std::vector<ServerSighting>& batch);
    void SetSilentAfter(std::chrono::seconds silentAfter);
    // For tests: the clock the tracker is told.
    void SetClock(std::function<Clock::time_point()> now);
    Clock::time_point Now() const { return m_now(); }
    // Applies time passing now (the timer does it every second).
    void Tick();

    std::vector<KnownServer> Known() const { return m_tracker.Known(); }
    std::optional<KnownServer> Find(const std::string& id) const { return m_tracker.Find(id); }
    bool Forget(const std::string& id);
    bool SetWatched(const std::string& id, bool watched);

    // One server's events, oldest first, from the book; `done` runs on the
    // GUI thread, never after this object is gone. Without a book: the
    // events of this run.
    void History(const std::string& id, std::function<void(std::vector<ServerEvent>)> done);

    BookState State() const;
    ServerBook* Book() const { return m_book.get(); }

signals:
    // What happened since the last signal, in order.
    void EventsHappened(const std::vector<ServerEvent>& events);
    // A server was added, changed, forgotten or (un)watched: a view of
    // Known() may be stale.
    void KnownChanged();
    // The book was read (or could not be).
    void Loaded();
    // Once per run: the history is not being kept, and why.
    void HistoryUnavailable(const QString& reason);

private:
    void Publish(std::vector<ServerEvent> events);
    void OnLoaded(std::vector<KnownServer> known);
    void OnBookState(const BookState& state);

    std::function<Clock::time_point()> m_now = [] { return Clock::now(); };
    ServerTracker m_tracker;
    std::unique_ptr<ServerBook> m_book;  // null without a file
    QTimer m_tick;
    bool m_loaded = false;
    bool m_toldUnavailable = false;
    std::vector<std::vector<ServerSighting>> m_early;  // heard before the book was read
    std::vector<ServerEvent> m_runEvents;              // without a book: this run's events
};
