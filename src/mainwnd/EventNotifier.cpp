#include "mainwnd/EventNotifier.h"

#include "mainwnd/EventText.h"
#include "mainwnd/KnownServers.h"

#include <QLabel>

EventNotifier::EventNotifier(KnownServers& known, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_known(known)
    , m_hooks(std::move(hooks))
{
    connect(&m_known, &KnownServers::EventsHappened, this, &EventNotifier::Tell);
}

void EventNotifier::SetEventLine(QLabel* lead, QLabel* line)
{
    m_lead = lead;
    m_line = line;
}

bool EventNotifier::Notifies(const ServerEvent& event, bool watched) const
{
    switch (event.kind) {
    case ServerEvent::Kind::kFound: return m_settings.onNew;
    case ServerEvent::Kind::kSilent: return watched && m_settings.onSilent;
    case ServerEvent::Kind::kBack: return watched && m_settings.onBack;
    case ServerEvent::Kind::kMoved: return watched && m_settings.onMoved;
    default: return false;
    }
}

void EventNotifier::Tell(const std::vector<ServerEvent>& events)
{
    if (!m_text)
        return;
    for (const EventLine& line : JoinBackAndVersion(events)) {
        const ServerEvent& e = line.event;
        const std::optional<KnownServer> server = m_known.Find(e.id);
        const ServerRecord& fields = server ? server->fields : e.fields;
        const QString text =
            EventLineText(line, QString::fromStdU16String(fields.Name), m_settings.silentAfter, m_text);
        if (e.kind != ServerEvent::Kind::kFound) {
            m_lastLine = text;
            if (m_lead)
                m_lead->setVisible(false);
            if (m_line)
                m_line->setText(text);
        }
        if (!Notifies(e, server && server->watched))
            continue;
        const QString title = QStringLiteral("Vindrel");
        if (!m_hooks.notify || !m_hooks.notify(title, text)) {
            if (m_hooks.alert)
                m_hooks.alert();
        }
        emit Notified(title, text);
    }
}

QString NotificationBody(const QString& text)
{
    return text.toHtmlEscaped();
}
