#pragma once

#include "mainwnd/NotifySettings.h"
#include "uilib/SkinText.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class EventNotifier;
class KnownServers;
class KnownServersDialog;
class QLabel;
class QSystemTrayIcon;
class QWidget;
struct ServerRecord;

// What a person can do with the servers the program remembers, and what
// the program tells of them: the Known servers view, a server's History…,
// Watch, Settings…, the event line and the notifications. The window hands
// it the feed's batches (through Servers()) and its texts; everything else
// lives here. GUI thread only.
class KnownServerActions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KnownServerActions)

public:
    struct Hooks
    {
        // Opens a server's page (the window's own action, which checks the
        // texts that came from the network).
        std::function<void(const QString& address, const QString& port)> openPage;
        // A message for the window's status line.
        std::function<void(const QString& message)> status;
        // The tray icon while one is shown, else null.
        std::function<QSystemTrayIcon*()> tray;
    };

    // `window` parents the dialogs; `settingsFolder` holds settings.ini
    // (ends with '/'); `bookPath` is servers.db (empty: known for this run
    // only).
    KnownServerActions(QWidget* window, const QString& settingsFolder, std::string bookPath, Hooks hooks);
    ~KnownServerActions() override;

    // Reads the book off the GUI thread; call once the window shows.
    void Load();
    void Retranslate(const TextLookup& text, const QString& language);
    // The event line (EVENT2 and EVENT3; either may be null).
    void SetEventLine(QLabel* lead, QLabel* line);

    void ShowKnownServers();
    void ShowSettings();
    // For a row of the main list: its server's History…, and Watch.
    void ShowHistory(const ServerRecord& record);
    void ShowHistoryOf(const std::string& id);
    bool IsWatched(const ServerRecord& record) const;
    void SetWatched(const ServerRecord& record, bool watched);

    KnownServers& Servers() const { return *m_known; }
    EventNotifier& Notifier() const { return *m_notifier; }
    KnownServersDialog* KnownDialog() const;
    const NotifySettings& Settings() const { return m_settings; }
    void ApplySettings(const NotifySettings& settings);

private:
    QWidget* m_window;  // parent
    QString m_settingsFolder;
    Hooks m_hooks;
    TextLookup m_text;
    QString m_language;
    NotifySettings m_settings;
    std::unique_ptr<KnownServers> m_known;
    std::unique_ptr<EventNotifier> m_notifier;
    QPointer<KnownServersDialog> m_dialog;  // child of the window, made when first asked for
};
