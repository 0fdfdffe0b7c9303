#include "mainwnd/KnownServers.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <utility>

namespace {

// Events of this run kept for History… when there is no book to ask.
constexpr std::size_t kMaxRunEvents = 100000;

}  // namespace

KnownServers::KnownServers(std::string bookPath, QObject* parent)
    : QObject(parent)
{
    if (!bookPath.empty()) {
        BookOptions options;
        options.path = std::move(bookPath);
        // The worker's word reaches the GUI thread as a queued call, which
        // Qt drops once this object is gone.
        options.onStateChange = [this](const BookState& state) {
            QMetaObject::invokeMethod(this, [this, state] { OnBookState(state); }, Qt::QueuedConnection);
        };
        m_book = std::make_unique<ServerBook>(std::move(options));
    }
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &KnownServers::Tick);
    m_tick.start();
}

KnownServers::~KnownServers()
{
    // The book's last write and its worker's end, before the QObject goes
    // (and with it any queued call the worker posted meanwhile).
    m_book.reset();
}

void KnownServers::Load()
{
    if (!m_book) {
        m_loaded = true;
        emit Loaded();
        return;
    }
    m_book->Load([this](std::vector<KnownServer> known) {
        QMetaObject::invokeMethod(
            this, [this, known = std::move(known)]() mutable { OnLoaded(std::move(known)); }, Qt::QueuedConnection);
    });
}

void KnownServers::OnLoaded(std::vector<KnownServer> known)
{
    const Clock::time_point now = m_now();
    m_tracker.Restore(std::move(known), now);
    m_tracker.TakeChanged();  // what was just read needs no writing back
    m_loaded = true;
    std::vector<ServerEvent> events;
    for (const auto& batch : std::exchange(m_early, {})) {
        auto more = m_tracker.Observe(batch, now);
        events.insert(events.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    Publish(std::move(events));
    emit Loaded();
    emit KnownChanged();
}

void KnownServers::Take(const std::vector<ServerSighting>& batch)
{
    if (batch.empty())
        return;
    if (!m_loaded) {
        // Until the book is read a known server would look new.
        m_early.push_back(batch);
        return;
    }
    Publish(m_tracker.Observe(batch, m_now()));
}

void KnownServers::Tick()
{
    if (m_loaded)
        Publish(m_tracker.Tick(m_now()));
}

void KnownServers::Publish(std::vector<ServerEvent> events)
{
    std::vector<KnownServer> changed = m_tracker.TakeChanged();
    if (events.empty() && changed.empty())
        return;
    // Beyond the cap the older half goes: the newest events are the ones a
    // person opens History… for.
    if (m_runEvents.size() + events.size() > kMaxRunEvents)
        m_runEvents.erase(m_runEvents.begin(), m_runEvents.begin() + static_cast<std::ptrdiff_t>(m_runEvents.size() / 2));
    m_runEvents.insert(m_runEvents.end(), events.begin(), events.end());
    if (m_book)
        m_book->Record(events, std::move(changed));
    // Last-seen times alone change nothing a view shows but the time (the
    // view looks again every few seconds for that).
    if (!events.empty()) {
        emit EventsHappened(events);
        emit KnownChanged();
    }
}

void KnownServers::SetSilentAfter(std::chrono::seconds silentAfter)
{
    m_tracker.SetSilentAfter(silentAfter);
}

void KnownServers::SetClock(std::function<Clock::time_point()> now)
{
    m_now = std::move(now);
}

bool KnownServers::Forget(const std::string& id)
{
    if (!m_tracker.Forget(id))
        return false;
    if (m_book)
        m_book->Forget(id);
    std::erase_if(m_runEvents, [&](const ServerEvent& e) { return e.id == id; });
    emit KnownChanged();
    return true;
}

bool KnownServers::SetWatched(const std::string& id, bool watched)
{
    if (!m_tracker.SetWatched(id, watched))
        return false;
    if (m_book)
        m_book->Record({}, m_tracker.TakeChanged());
    emit KnownChanged();
    return true;
}

void KnownServers::History(const std::string& id, std::function<void(std::vector<ServerEvent>)> done)
{
    if (!m_book || !m_book->State().Available()) {
        std::vector<ServerEvent> events;
        for (const ServerEvent& e : m_runEvents)
            if (e.id == id)
                events.push_back(e);
        QMetaObject::invokeMethod(
            this, [done = std::move(done), events = std::move(events)]() mutable { done(std::move(events)); },
            Qt::QueuedConnection);
        return;
    }
    m_book->History(id, [this, done = std::move(done)](std::vector<ServerEvent> events) mutable {
        QMetaObject::invokeMethod(
            this, [done = std::move(done), events = std::move(events)]() mutable { done(std::move(events)); },
            Qt::QueuedConnection);
    });
}

BookState KnownServers::State() const
{
    if (!m_book)
        return {BookState::Status::kUnavailable, {}};
    return m_book->State();
}

void KnownServers::OnBookState(const BookState& state)
{
    if (state.status != BookState::Status::kUnavailable || m_toldUnavailable)
        return;
    m_toldUnavailable = true;
    emit HistoryUnavailable(QString::fromStdString(state.reason));
}
