#pragma once

#include "book/ServerEvent.h"
#include "mainwnd/NotifySettings.h"
#include "uilib/SkinText.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class KnownServers;
class QLabel;

// Tells the user what happened to the servers: every event but "found" (the
// list says that already) in the window's event line, and the ones the
// settings ask for as a desktop notification — "found" for any server,
// "silent", "back" and "moved" for watched ones. Where no tray shows a
// notification, the window asks for attention instead. GUI thread only.
class EventNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventNotifier)

public:
    struct Hooks
    {
        // Shows a desktop notification; false where none can be shown (no
        // tray). `body` is plain text: the hook escapes it where the
        // notification service reads markup.
        std::function<bool(const QString& title, const QString& body)> notify;
        // Asks for the user's attention (QApplication::alert on the window).
        std::function<void()> alert;
    };

    // `known` must outlive this object.
    EventNotifier(KnownServers& known, Hooks hooks, QObject* parent = nullptr);

    // The event line: `lead` (EVENT2, "Current event: Found …") is hidden
    // while `line` (EVENT3) tells an event; either may be null.
    void SetEventLine(QLabel* lead, QLabel* line);
    void SetSettings(const NotifySettings& settings) { m_settings = settings; }
    const NotifySettings& Settings() const { return m_settings; }
    void SetText(TextLookup text) { m_text = std::move(text); }

    void Tell(const std::vector<ServerEvent>& events);
    // What the event line said last.
    QString LastLine() const { return m_lastLine; }

signals:
    // A notification was shown (or, without a tray, attention asked for).
    void Notified(const QString& title, const QString& body);

private:
    bool Notifies(const ServerEvent& event, bool watched) const;

    KnownServers& m_known;
    Hooks m_hooks;
    TextLookup m_text;
    NotifySettings m_settings;
    QPointer<QLabel> m_lead;
    QPointer<QLabel> m_line;
    QString m_lastLine;
};

// `text` made safe for a notification service that reads a subset of HTML
// in bodies (the freedesktop notification protocol): every character shows
// as itself.
QString NotificationBody(const QString& text);
