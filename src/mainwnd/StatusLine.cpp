#include "mainwnd/StatusLine.h"

#include "base/ErrorText.h"
#include "mainwnd/ServerFeed.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"

#include <QLabel>
#include <QMetaObject>
#include <QStringList>

StatusLine::StatusLine(const ServerFeed& feed, const ServerList& servers, TextLookup text, QObject* parent)
    : QObject(parent)
    , m_feed(feed)
    , m_servers(servers)
    , m_text(std::move(text))
    , m_status([&feed] { return feed.Status(); })
    , m_lookup([](std::uint16_t port) { return FindPortOwner(port); })
{
    m_check.setInterval(1000);
    connect(&m_check, &QTimer::timeout, this, &StatusLine::Update);
    connect(&m_feed, &ServerFeed::SearchStateSet, this, &StatusLine::OnSearchStateSet);
    connect(&m_servers, &ServerList::CountsChanged, this, &StatusLine::Update);
}

StatusLine::~StatusLine()
{
    // The worker's result is a queued call, which Qt drops once this object
    // is gone; joining first keeps `this` alive for the worker's last step.
    if (m_worker.joinable())
        m_worker.join();
}

void StatusLine::Attach(QLabel* line, QWidget* hint)
{
    m_line = line;
    m_hint = hint;
    m_check.start();
    Update();
}

void StatusLine::SetStatusSource(StatusSource status)
{
    m_status = std::move(status);
}

void StatusLine::SetOwnerLookup(OwnerLookup lookup)
{
    m_lookup = std::move(lookup);
}

void StatusLine::ShowMessage(const QString& message)
{
    if (m_line)
        m_line->setText(message);
    m_messageUntil = std::chrono::steady_clock::now() + kMessageTime;
}

void StatusLine::OnSearchStateSet()
{
    // A click on Search or Stop is newer than any message.
    m_messageUntil = {};
    Update();
}

void StatusLine::Update()
{
    Show(m_status());
}

StatusLine::State StatusLine::StateOf(const EngineStatus& status)
{
    switch (status.listener.state) {
    case ListenerStatus::State::kPortInUse: return State::kPortInUse;
    case ListenerStatus::State::kFailed: return State::kListenFailed;
    default: break;
    }
    if (status.noAddresses)
        return State::kNoNetwork;
    return status.paused ? State::kStopped : State::kSearching;
}

void StatusLine::Show(const EngineStatus& status)
{
    const State state = StateOf(status);
    if (state != m_state) {
        m_state = state;
        ++m_spell;
        m_owner.reset();
        if (state == State::kPortInUse)
            LookUpOwner();
    }
    m_shown = status;
    const bool holderKnown = state != State::kPortInUse || m_owner;
    if (m_line && holderKnown && std::chrono::steady_clock::now() >= m_messageUntil)
        m_line->setText(StateText(state, status));
    ShowHint();
}

QString StatusLine::StateText(State state, const EngineStatus& status) const
{
    const QString port = QString::number(m_feed.ListenPort());
    switch (state) {
    case State::kPortInUse: return m_text(QStringLiteral("Status_PortInUse")).arg(port, HolderText());
    case State::kListenFailed:
        return m_text(QStringLiteral("Status_ListenFailed"))
            .arg(port, QString::fromStdString(ErrorText(status.listener.error)));
    case State::kNoNetwork: return m_text(QStringLiteral("Status_NoNetwork"));
    case State::kStopped: return m_text(QStringLiteral("Status_Stopped"));
    case State::kSearching: break;
    }
    return m_text(QStringLiteral("Status_Searching"));
}

QString StatusLine::HolderText() const
{
    if (!m_owner->holders.empty()) {
        QStringList names;
        for (const PortHolder& h : m_owner->holders)
            names.append(QStringLiteral("%1 (pid %2)").arg(QString::fromStdString(h.name)).arg(h.pid));
        return names.join(QStringLiteral(", "));
    }
    if (!m_owner->otherUserName.empty())
        return m_text(QStringLiteral("Holder_OtherUser")).arg(QString::fromStdString(m_owner->otherUserName));
    return m_text(QStringLiteral("Holder_Unknown"));
}

void StatusLine::LookUpOwner()
{
    // One at a time; a spell that began meanwhile is looked up when this
    // lookup ends.
    if (m_looking)
        return;
    if (m_worker.joinable())
        m_worker.join();  // finished: its result has been handled
    m_looking = true;
    m_worker = std::thread([this, lookup = m_lookup, port = m_feed.ListenPort(), spell = m_spell] {
        PortOwnership owner = lookup(port);
        QMetaObject::invokeMethod(
            this, [this, spell, owner = std::move(owner)] { OnOwnerFound(spell, owner); }, Qt::QueuedConnection);
    });
}

void StatusLine::OnOwnerFound(unsigned spell, const PortOwnership& owner)
{
    m_looking = false;
    if (spell == m_spell) {
        m_owner = owner;
        Show(m_shown);
    } else if (m_state == State::kPortInUse && !m_owner) {
        LookUpOwner();
    }
}

void StatusLine::ShowHint()
{
    if (!m_hint)
        return;
    const bool searching = !m_feed.IsPaused();
    const bool waited = std::chrono::steady_clock::now() - m_feed.SearchStarted() >= kHintAfter;
    m_hint->setVisible(searching && waited && m_servers.Model().Count() == 0 && m_servers.TakesRows());
}
