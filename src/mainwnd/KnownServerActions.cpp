#include "mainwnd/KnownServerActions.h"

#include "book/ServerIdentity.h"
#include "mainwnd/EventNotifier.h"
#include "mainwnd/HistoryDialog.h"
#include "mainwnd/KnownServers.h"
#include "mainwnd/KnownServersDialog.h"
#include "mainwnd/SettingsDialog.h"

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

KnownServerActions::KnownServerActions(QWidget* window, const QString& settingsFolder, std::string bookPath,
                                       Hooks hooks)
    : QObject(window)
    , m_window(window)
    , m_settingsFolder(settingsFolder)
    , m_hooks(std::move(hooks))
    , m_settings(NotifySettings::Load(settingsFolder))
    , m_known(std::make_unique<KnownServers>(std::move(bookPath)))
{
    m_known->SetSilentAfter(m_settings.silentAfter);
    EventNotifier::Hooks notify;
    notify.notify = [this](const QString& title, const QString& body) {
        QSystemTrayIcon* tray = m_hooks.tray ? m_hooks.tray() : nullptr;
        if (!tray)
            return false;
        // Desktop notification services read bodies as markup.
        tray->showMessage(title, NotificationBody(body));
        return true;
    };
    notify.alert = [this] { QApplication::alert(m_window); };
    m_notifier = std::make_unique<EventNotifier>(*m_known, std::move(notify));
    m_notifier->SetSettings(m_settings);
    connect(m_known.get(), &KnownServers::HistoryUnavailable, this, [this](const QString& reason) {
        if (m_hooks.status && m_text)
            m_hooks.status(m_text(QStringLiteral("History_Unavailable")).arg(reason));
    });
}

// The dialogs go with the window; the book writes what is pending.
KnownServerActions::~KnownServerActions() = default;

KnownServersDialog* KnownServerActions::KnownDialog() const
{
    return m_dialog;
}

void KnownServerActions::Load()
{
    m_known->Load();
}

void KnownServerActions::Retranslate(const TextLookup& text, const QString& language)
{
    m_text = text;
    m_language = language;
    m_notifier->SetText(text);
    if (m_dialog)
        m_dialog->Retranslate(text, language);
}

void KnownServerActions::SetEventLine(QLabel* lead, QLabel* line)
{
    m_notifier->SetEventLine(lead, line);
}

void KnownServerActions::ShowKnownServers()
{
    if (!m_dialog) {
        KnownServersDialog::Hooks hooks;
        hooks.openPage = m_hooks.openPage;
        hooks.status = m_hooks.status;
        hooks.showHistory = [this](const std::string& id) { ShowHistoryOf(id); };
        m_dialog = new KnownServersDialog(*m_known, std::move(hooks), m_window);
        m_dialog->setWindowFlag(Qt::Window);
        m_dialog->Retranslate(m_text, m_language);
    }
    m_dialog->Refresh();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void KnownServerActions::ShowSettings()
{
    SettingsDialog dialog(m_settings, m_text, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ApplySettings(dialog.Settings());
    if (!m_settings.Save(m_settingsFolder) && m_hooks.status)
        m_hooks.status(m_text(QStringLiteral("Status_SettingsFailed")).arg(m_settingsFolder + NotifySettings::FileName()));
}

void KnownServerActions::ApplySettings(const NotifySettings& settings)
{
    m_settings = settings;
    m_known->SetSilentAfter(settings.silentAfter);
    m_notifier->SetSettings(settings);
}

namespace {

// The identity the book keeps a listed row under: a second server claiming
// an ID is kept as "ID@address".
std::string IdOf(const KnownServers& known, const ServerRecord& record)
{
    const std::string id = ServerIdentity(record);
    const std::string address = QString::fromStdU16String(record.IP).toStdString();
    const std::string claimant = id + '@' + address;
    if (known.Find(claimant))
        return claimant;
    return id;
}

}  // namespace

void KnownServerActions::ShowHistory(const ServerRecord& record)
{
    ShowHistoryOf(IdOf(*m_known, record));
}

void KnownServerActions::ShowHistoryOf(const std::string& id)
{
    const std::optional<KnownServer> server = m_known->Find(id);
    const QString name = server ? QString::fromStdU16String(server->fields.Name) : QString();
    auto* dialog = new HistoryDialog(name, QString::fromStdString(id), m_text, m_language, m_settings.silentAfter,
                                     m_window);
    dialog->setWindowFlag(Qt::Window);
    const BookState state = m_known->State();
    if (state.status == BookState::Status::kUnavailable && !state.reason.empty())
        dialog->SetUnavailable(QString::fromStdString(state.reason));
    QPointer<HistoryDialog> alive(dialog);
    m_known->History(id, [alive](std::vector<ServerEvent> events) {
        if (alive)
            alive->SetEvents(events);
    });
    dialog->show();
}

bool KnownServerActions::IsWatched(const ServerRecord& record) const
{
    const std::optional<KnownServer> server = m_known->Find(IdOf(*m_known, record));
    return server && server->watched;
}

void KnownServerActions::SetWatched(const ServerRecord& record, bool watched)
{
    m_known->SetWatched(IdOf(*m_known, record), watched);
}
