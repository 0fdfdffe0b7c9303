#pragma once

#include "discovery/EngineStatus.h"
#include "diagnosis/PortOwner.h"
#include "uilib/SkinText.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

class QLabel;
class QWidget;
class ServerFeed;
class ServerList;

// The line under the list that says what the search is doing — searching,
// stopped, the reply port taken (by whom), listening failed, no network —
// and the hint that stands under a list still empty after a while of
// searching. A message (copied, exported, …) takes the line for a while;
// then it tells the state again, at the latest a second later. GUI thread
// only.
//
// Who holds the port is read from /proc, which can take a while on a busy
// machine: it is looked up on a worker thread, once each time the port is
// found taken, not at every check. Until the holder is known the line keeps
// what it said.
class StatusLine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusLine)

public:
    enum class State { kSearching, kStopped, kPortInUse, kListenFailed, kNoNetwork };
    // Runs on the GUI thread; cheap.
    using StatusSource = std::function<EngineStatus()>;
    // Runs on a worker thread: must touch nothing of the GUI's.
    using OwnerLookup = std::function<PortOwnership(std::uint16_t port)>;

    // How long a message stands.
    static constexpr std::chrono::seconds kMessageTime{8};
    // How long a search finds nothing before the hint shows: ten probe rounds.
    static constexpr std::chrono::seconds kHintAfter{5};

    // `feed` and `servers` must outlive this object; `text` gives the
    // window's texts in its current language.
    StatusLine(const ServerFeed& feed, const ServerList& servers, TextLookup text, QObject* parent = nullptr);
    // Waits for a holder lookup still running; it waits for nothing.
    ~StatusLine() override;

    // The line (STATUSTEXT) and the hint bar (HINTBAR), each may be null;
    // starts the checks, once a second.
    void Attach(QLabel* line, QWidget* hint);
    // Where the state and the port's holder come from: the feed's engine
    // and FindPortOwner unless a test gives its own.
    void SetStatusSource(StatusSource status);
    void SetOwnerLookup(OwnerLookup lookup);

    void ShowMessage(const QString& message);
    // Tells the engine's state now, unless a message still stands, and
    // shows or hides the hint.
    void Update();

    // What the line says for `status`, most pressing first: a port that
    // cannot be listened on, then no network, then searching or stopped.
    static State StateOf(const EngineStatus& status);

private:
    void OnSearchStateSet();
    void Show(const EngineStatus& status);
    QString StateText(State state, const EngineStatus& status) const;
    QString HolderText() const;
    void LookUpOwner();
    void OnOwnerFound(unsigned spell, const PortOwnership& owner);
    void ShowHint();

    const ServerFeed& m_feed;
    const ServerList& m_servers;
    TextLookup m_text;
    StatusSource m_status;
    OwnerLookup m_lookup;
    QPointer<QLabel> m_line;
    QPointer<QWidget> m_hint;
    QTimer m_check;
    std::chrono::steady_clock::time_point m_messageUntil;
    EngineStatus m_shown;  // what the line tells now
    std::optional<State> m_state;
    // Counts the times the state changed: a holder found for an earlier
    // spell of "port in use" is not shown.
    unsigned m_spell = 0;
    std::optional<PortOwnership> m_owner;  // of this spell, once found
    std::thread m_worker;
    bool m_looking = false;  // a lookup runs
};
