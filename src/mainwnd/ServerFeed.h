#pragma once

#include "discovery/DiscoveryEngine.h"
#include "discovery/EngineStatus.h"
#include "discovery/ProbeTarget.h"
#include "discovery/ServerQueue.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

// What the discovery engine hears, delivered on the GUI thread in batches:
// the engine, the queue its threads push into, and the pace at which the GUI
// thread takes from it. Whoever shows or keeps servers connects to
// SightingsArrived; every subscriber gets the same batch, so a list and a
// record of servers can listen side by side without knowing of each other.
//
// The engine's threads never wait for the GUI: a push into an empty queue
// posts one queued call, and after each drain the feed waits a little
// before it lets the queue wake it again, so the GUI thread wakes at most
// kDrainsPerSecond times a second however fast replies come. GUI thread
// only (the thread that made it).
class ServerFeed final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerFeed)

public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kDrainsPerSecond = 30;

    explicit ServerFeed(DiscoveryOptions options = {}, QObject* parent = nullptr);
    // Stops the engine; no batch is delivered after this begins.
    ~ServerFeed() override;

    // Starts the engine's threads, which broadcast probes on every local
    // interface: the program does, tests mostly do not. Without it the feed
    // still delivers what is pushed into Queue().
    void Start();
    // Ends and joins the engine's threads; idempotent.
    void Stop();

    // Searching or stopped: while paused nothing reaches the subscribers,
    // not even what waited. Every call ends in SearchStateSet; a resume is
    // a new search and restarts SearchStarted().
    void SetPaused(bool paused);
    bool IsPaused() const { return m_engine.IsPaused(); }
    // When the current search began (the last SetPaused(false)).
    Clock::time_point SearchStarted() const { return m_searchStarted; }

    // Takes the targets to probe by address, as a person wrote them, and
    // gives the engine those that parse (from its next round on). Returns
    // the kept ones, trimmed: a hand-edited file may hold junk, which is
    // left out rather than fatal.
    QStringList SetTargets(const QStringList& written);
    std::vector<ProbeTarget> Targets() const { return m_engine.Targets(); }

    // The engine's state now (cheap: a copy under a short lock).
    EngineStatus Status() const { return m_engine.Status(); }
    // The UDP port replies arrive on, from the engine's options.
    std::uint16_t ListenPort() const { return m_listenPort; }
    const DiscoveryEngine& Engine() const { return m_engine; }
    // The hand-off the engine's threads push into; a test may push too.
    const std::shared_ptr<ServerQueue>& Queue() const { return m_queue; }

    // Takes what waits in the queue now and delivers it; the queue's wake
    // calls it, a test may call it directly.
    void Drain();

signals:
    // What was heard since the last batch, one sighting per IP (the latest),
    // in the order each server was first queued; never empty. Delivered
    // directly on the GUI thread: a subscriber copies what it keeps.
    void SightingsArrived(const std::vector<ServerSighting>& batch);
    // SetPaused ran: searching is !paused.
    void SearchStateSet(bool searching);

private:
    void OnRearm();

    const std::uint16_t m_listenPort;
    Clock::time_point m_searchStarted = Clock::now();
    QTimer m_rearm;
    std::shared_ptr<ServerQueue> m_queue = std::make_shared<ServerQueue>();
    // Last: its threads stop first.
    DiscoveryEngine m_engine;
};
