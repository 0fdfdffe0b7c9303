#include "mainwnd/VindrelFrameWnd.h"

#include "base/AppFolders.h"
#include "base/ErrorText.h"
#include "base/LocaleText.h"
#include "discovery/GatherDiagnosis.h"
#include "discovery/PortOwner.h"
#include "discovery/ProbeTarget.h"
#include "discovery/ServerFields.h"
#include "discovery/WakeOnLan.h"
#include "i18n/DiagnosisText.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"
#include "mainwnd/DiagnosticsDialog.h"
#include "mainwnd/RowActions.h"
#include "mainwnd/SavedTargets.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/ServerPageAddress.h"
#include "mainwnd/ServerSortFilterModel.h"
#include "mainwnd/TargetsDialog.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"
#include "uilib/SkinText.h"
#include "uilib/WindowFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTreeView>

#include <cstring>
#include <string>

namespace {

// The look of the button of the current search state, and of the other one.
constexpr const char16_t* kSearchActiveLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kStopActiveLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kSearchIdleLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";
constexpr const char16_t* kStopIdleLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";

// Broadcasts a magic packet from the adapter a server was last heard on.
QString WakeThroughAdapter(const QString& mac, unsigned interfaceIndex, quint32 localAddress)
{
    WakeVia via;
    via.interfaceIndex = interfaceIndex;
    if (localAddress != 0) {
        // Network byte order: the first byte in memory is the first number.
        unsigned char bytes[4];
        std::memcpy(bytes, &localAddress, sizeof bytes);
        via.localAddress = std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) +
                           '.' + std::to_string(bytes[3]);
    }
    const WakeResult result = SendWakeOnLan(mac.toStdString(), via);
    return result.sent ? QString() : QString::fromStdString(result.error);
}

// Ends the event loop once the handler that asks has finished, like a quit
// message; a request made before the loop runs still ends it.
void QueueQuit(int code)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

}  // namespace

CVindrelFrameWnd::CVindrelFrameWnd()
    : CVindrelFrameWnd(Options{})
{
}

CVindrelFrameWnd::CVindrelFrameWnd(Options options)
    : m_options(std::move(options))
    , m_settingsDir(m_options.settingsDir)
    , m_servers(new ServerList(this))
    , m_engine(m_options.discovery)
{
    if (m_settingsDir.isEmpty()) {
        m_settingsDir = QString::fromStdU16String(DecodeLocal8Bit(ProgramFolders().settings));
        m_options.createSettings = !ProgramFolders().portable;
    }
    if (!m_options.openUrl)
        m_options.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_options.wake)
        m_options.wake = WakeThroughAdapter;
    if (!m_options.chooseExportFile)
        m_options.chooseExportFile = [this] { return AskForExportFile(); };
    if (!m_options.gatherDiagnosis) {
        m_options.gatherDiagnosis = [port = m_options.discovery.listenPort](const EngineStatus& status,
                                                                            std::chrono::milliseconds searched) {
            return GatherDiagnosis(status, searched, port);
        };
    }
    setWindowTitle(QStringLiteral("Vindrel"));
    m_rearm.setSingleShot(true);
    m_rearm.setInterval(1000 / kDrainsPerSecond);
    connect(&m_rearm, &QTimer::timeout, this, &CVindrelFrameWnd::OnRearm);
    m_silenceCheck.setInterval(1000);
    connect(&m_silenceCheck, &QTimer::timeout, this, &CVindrelFrameWnd::MarkSilentRows);
    m_stateCheck.setInterval(1000);
    connect(&m_stateCheck, &QTimer::timeout, this, &CVindrelFrameWnd::UpdateStatusLine);
    // Called on a listener thread with the queue's lock held: only post.
    // The destructor clears it before the window goes.
    m_queue->SetWake([this] { QMetaObject::invokeMethod(this, &CVindrelFrameWnd::DrainQueue, Qt::QueuedConnection); });
}

CVindrelFrameWnd::~CVindrelFrameWnd()
{
    m_queue->SetWake({});
    m_engine.Stop();
    // The row actions watch the list's view and refer to the server list;
    // Qt would delete the list before the view, whose last events would
    // then reach a filter whose list is gone.
    delete m_rowActions;
}

bool CVindrelFrameWnd::Initialise()
{
    if (m_content)
        return true;
    if (!BuildSkinnedWindow(*this, QStringLiteral("vindrel.xml"), m_error))
        return false;
    m_content = layout()->itemAt(0)->widget();
    const QIcon icon = LoadSkinImage(QStringLiteral("res/vindrel.png"));
    if (!icon.isNull())
        setWindowIcon(icon);
    m_servers->Attach(m_content);
    m_tray = new TrayMenus(this);
    connect(m_tray, &TrayMenus::ShowRequested, this, &CVindrelFrameWnd::ShowNormal);
    connect(m_tray, &TrayMenus::ExitRequested, this, &CVindrelFrameWnd::ExitApplication);
    connect(m_tray, &TrayMenus::LanguageChosen, this, &CVindrelFrameWnd::SwitchLanguage);
    RowActions::Hooks hooks;
    hooks.openPage = [this] { OpenServerPage(); };
    hooks.wake = m_options.wake;
    hooks.chooseExportFile = m_options.chooseExportFile;
    hooks.text = [this](const QString& key) { return Text(key); };
    m_rowActions = new RowActions(*m_servers, std::move(hooks), this);
    connect(m_rowActions, &RowActions::Status, this, &CVindrelFrameWnd::ShowStatus);
    connect(m_tray, &TrayMenus::ExportRequested, m_rowActions, &RowActions::ExportList);
    connect(m_tray, &TrayMenus::FindByAddressRequested, this, &CVindrelFrameWnd::FindByAddress);
    connect(m_tray, &TrayMenus::DiagnosticsRequested, this, &CVindrelFrameWnd::ShowDiagnostics);
    m_servers->Model().SetLastHeardText(
        [this](qint64 seconds) { return Text(QStringLiteral("Tip_LastHeard")).arg(seconds); });
    ConnectControls();
    AddShortcuts();

    m_language = QString::fromStdU16String(StartingLanguage());
    Retranslate();
    m_tray->CreateTrayIcon();
    SetTargets(LoadTargets(m_settingsDir));
    if (m_options.startDiscovery)
        m_engine.Start(m_queue);
    StartSearch();
    m_stateCheck.start();
    UpdateStatusLine();
    // The keyboard starts where the work is: in the list.
    if (QTreeView* view = m_servers->View())
        view->setFocus(Qt::OtherFocusReason);
    return true;
}

std::u16string CVindrelFrameWnd::StartingLanguage() const
{
    const std::u16string dir = m_settingsDir.toStdU16String();
    std::u16string code;
    if (ReadLanguagePreference(dir, code))
        return code;
    if (!m_options.createSettings)
        return StartupLanguage(dir);
    // The first start: the desktop's language, remembered from now on.
    code = LanguageOfLocale(QLocale::system().name().toStdString());
    WriteLanguagePreference(dir, code, IfMissing::kCreate);
    return code;
}

void CVindrelFrameWnd::ConnectControls()
{
    const std::pair<const char*, void (CVindrelFrameWnd::*)()> actions[] = {
        {"MINBTN", &CVindrelFrameWnd::MinimizeWindow}, {"MAXBTN", &CVindrelFrameWnd::ToggleMaximize},
        {"CLOSEBTN", &CVindrelFrameWnd::HideWindow},   {"SEARCHBTN", &CVindrelFrameWnd::StartSearch},
        {"STOPBTN", &CVindrelFrameWnd::StopSearch},    {"REFRESHBTN", &CVindrelFrameWnd::RefreshList},
    };
    for (const auto& [name, action] : actions) {
        if (SkinButton* button = Button(QString::fromLatin1(name)))
            connect(button, &SkinButton::clicked, this, action);
    }
    if (SkinButton* language = Button(QStringLiteral("LANGUAGEBTN")))
        connect(language, &SkinButton::clicked, m_tray, [this, language] { m_tray->ShowLanguageMenu(language); });
    if (SkinButton* menu = Button(QStringLiteral("MENUBTN")))
        connect(menu, &SkinButton::clicked, m_tray, [this, menu] { m_tray->ShowWindowMenu(menu); });
    if (SkinButton* find = Button(QStringLiteral("FINDBTN")))
        connect(find, &SkinButton::clicked, this, &CVindrelFrameWnd::FindByAddress);
    if (SkinButton* diagnose = Button(QStringLiteral("DIAGBTN")))
        connect(diagnose, &SkinButton::clicked, m_tray, &TrayMenus::DiagnosticsRequested);
    if (auto* filter = qobject_cast<QLineEdit*>(Control(QStringLiteral("FILTEREDIT"))))
        connect(filter, &QLineEdit::textChanged, m_servers, &ServerList::SetFilterText);
    connect(m_servers, &ServerList::CountsChanged, this, &CVindrelFrameWnd::ShowShownCount);
    connect(m_servers, &ServerList::CountsChanged, this, &CVindrelFrameWnd::UpdateStatusLine);
    if (QTreeView* view = m_servers->View()) {
        connect(view, &QTreeView::activated, this, &CVindrelFrameWnd::OpenServerPage);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QTreeView::customContextMenuRequested, m_rowActions, [this, view](const QPoint& at) {
            // From the keyboard (the menu key) the point is nowhere near a
            // row: the menu is for the current one.
            const QModelIndex current = view->currentIndex();
            const bool onRow = view->indexAt(at).isValid();
            m_rowActions->ShowMenuAt(onRow || !current.isValid() ? at : view->visualRect(current).center());
        });
    }
    // Buttons, then the filter, then the list, as a keyboard reaches them.
    QWidget* previous = nullptr;
    for (const char* name :
         {"SEARCHBTN", "STOPBTN", "REFRESHBTN", "LANGUAGEBTN", "MENUBTN", "FILTEREDIT", "SERVERLIST"}) {
        QWidget* next = Control(QString::fromLatin1(name));
        if (!next)
            continue;
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
}

void CVindrelFrameWnd::AddShortcuts()
{
    const auto add = [this](QKeySequence keys, QWidget* scope, auto action) {
        auto* shortcut = new QAction(scope);
        shortcut->setShortcut(keys);
        connect(shortcut, &QAction::triggered, this, action);
        scope->addAction(shortcut);
    };
    add(QKeySequence(Qt::Key_F5), this, &CVindrelFrameWnd::RefreshList);
    add(QKeySequence::Find, this, &CVindrelFrameWnd::FocusFilter);
    // Copy in the list copies its selected rows (RowActions watches it).
    if (QTreeView* view = m_servers->View())
        view->installEventFilter(m_rowActions);
}

void CVindrelFrameWnd::FocusFilter()
{
    if (auto* filter = qobject_cast<QLineEdit*>(Control(QStringLiteral("FILTEREDIT")))) {
        filter->setFocus(Qt::ShortcutFocusReason);
        filter->selectAll();
    }
}

QWidget* CVindrelFrameWnd::Control(const QString& name) const
{
    if (!m_content || name.isEmpty())
        return nullptr;
    return m_content->objectName() == name ? m_content : m_content->findChild<QWidget*>(name);
}

SkinButton* CVindrelFrameWnd::Button(const QString& name) const
{
    return qobject_cast<SkinButton*>(Control(name));
}

QString CVindrelFrameWnd::Text(const QString& key) const
{
    const char16_t* text = QueryCatalogueText(TextTable::MainWindow, reinterpret_cast<const char16_t*>(key.utf16()),
                                              m_language.toStdU16String());
    return text ? QString::fromUtf16(text) : QString();
}

void CVindrelFrameWnd::Retranslate()
{
    const TextLookup lookup = [this](const QString& key) { return Text(key); };
    TranslateSkin(m_content, lookup);
    QStringList headers;
    for (const ServerField& field : kServerFields)
        headers.append(Text(QString::fromUtf16(field.headerKey.data(), field.headerKey.size())));
    m_servers->SetHeaderTexts(headers);
    m_servers->SetLanguage(m_language);
    m_tray->Retranslate(lookup);
    m_tray->SetCurrentLanguage(m_language);
    m_rowActions->Retranslate(lookup);
    DescribeForScreenReaders();
    ShowShownCount();
}

// Every control a keyboard reaches has a name and a description in the
// window's language: its visible text, or what its picture stands for.
void CVindrelFrameWnd::DescribeForScreenReaders()
{
    struct Description
    {
        const char* control;
        const char* name;         // a key, or nullptr: the control's own text
        const char* description;  // a key
    };
    const Description descriptions[] = {
        {"SEARCHBTN", nullptr, "Search_Desc"},    {"STOPBTN", nullptr, "Stop_Desc"},
        {"REFRESHBTN", nullptr, "Refresh_Desc"},  {"LANGUAGEBTN", "Language_Btn", "Language_Btn"},
        {"MENUBTN", "Menu_Btn", "Menu_Btn"},      {"FILTEREDIT", "Filter_Edit", "Filter_Desc"},
        {"SERVERLIST", "List_Name", "List_Desc"}, {"MINBTN", "Min_Btn", "Min_Btn"},
        {"MAXBTN", "Max_Btn", "Max_Btn"},         {"CLOSEBTN", "Close_Btn", "Close_Btn"},
    };
    for (const Description& d : descriptions) {
        QWidget* control = Control(QString::fromLatin1(d.control));
        if (!control)
            continue;
        const QString name = d.name ? Text(QString::fromLatin1(d.name)) : control->property("text").toString();
        control->setAccessibleName(name);
        control->setAccessibleDescription(Text(QString::fromLatin1(d.description)));
        if (d.name && control->toolTip().isEmpty())
            control->setToolTip(name);
    }
}

void CVindrelFrameWnd::ShowShownCount()
{
    auto* shown = qobject_cast<QLabel*>(Control(QStringLiteral("SHOWNLABEL")));
    if (!shown)
        return;
    const bool filtering = !m_servers->Shown().FilterText().isEmpty();
    shown->setText(
        filtering ? Text(QStringLiteral("Filter_Shown")).arg(m_servers->ShownCount()).arg(m_servers->Model().Count())
                  : QString());
}

void CVindrelFrameWnd::ShowStatus(const QString& message)
{
    if (auto* status = qobject_cast<QLabel*>(Control(QStringLiteral("STATUSTEXT"))))
        status->setText(message);
    m_messageUntil = std::chrono::steady_clock::now() + kMessageTime;
}

QString CVindrelFrameWnd::StateText(const EngineStatus& status) const
{
    if (!m_options.startDiscovery)
        return m_engine.IsPaused() ? Text(QStringLiteral("Status_Stopped")) : Text(QStringLiteral("Status_Searching"));
    switch (status.listener.state) {
    case ListenerStatus::State::kPortInUse: {
        // Found by the port's socket in /proc: cheap enough once a second.
        const PortOwnership owner = FindPortOwner(6000);
        QString holder = Text(QStringLiteral("Holder_Unknown"));
        if (!owner.holders.empty()) {
            QStringList names;
            for (const PortHolder& h : owner.holders)
                names.append(QStringLiteral("%1 (pid %2)").arg(QString::fromStdString(h.name)).arg(h.pid));
            holder = names.join(QStringLiteral(", "));
        } else if (!owner.otherUserName.empty()) {
            holder = Text(QStringLiteral("Holder_OtherUser")).arg(QString::fromStdString(owner.otherUserName));
        }
        return Text(QStringLiteral("Status_PortInUse")).arg(holder);
    }
    case ListenerStatus::State::kFailed:
        return Text(QStringLiteral("Status_ListenFailed"))
            .arg(QString::fromStdString(ErrorText(status.listener.error)));
    default: break;
    }
    if (status.noAddresses)
        return Text(QStringLiteral("Status_NoNetwork"));
    return status.paused ? Text(QStringLiteral("Status_Stopped")) : Text(QStringLiteral("Status_Searching"));
}

void CVindrelFrameWnd::UpdateStatusLine()
{
    const EngineStatus status = m_engine.Status();
    const auto now = std::chrono::steady_clock::now();
    if (now >= m_messageUntil) {
        if (auto* line = qobject_cast<QLabel*>(Control(QStringLiteral("STATUSTEXT"))))
            line->setText(StateText(status));
    }
    // The hint: searching for a while, the list still empty.
    if (QWidget* hint = Control(QStringLiteral("HINTBAR"))) {
        const bool searching = !m_engine.IsPaused();
        hint->setVisible(searching && now - m_searchingSince >= kSilence && m_servers->Model().Count() == 0 &&
                         m_servers->TakesRows());
    }
}

void CVindrelFrameWnd::FindByAddress()
{
    TargetsDialog dialog(
        m_targets, [this](const QString& key) { return Text(key); }, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SetTargets(dialog.Targets());
    QString error;
    if (!SaveTargets(m_settingsDir, m_targets, m_options.createSettings, error))
        ShowStatus(error);
}

void CVindrelFrameWnd::ShowDiagnostics()
{
    // A closed dialog is made anew, so that it speaks the current language.
    if (!m_diagnostics || !m_diagnostics->isVisible()) {
        delete m_diagnostics;
        m_diagnostics = new DiagnosticsDialog(
            DiagnosisTextFor(m_language.toStdU16String()), [this](const QString& key) { return Text(key); }, this);
    }
    // The facts of this moment: the report explains what the user just saw.
    const EngineStatus status = m_engine.Status();
    const auto searched =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_searchingSince);
    m_diagnostics->Run([gather = m_options.gatherDiagnosis, status, searched,
                        byAddress = Text(QStringLiteral("menu_find_address")).toStdString()] {
        DiagnosisInput input = gather(status, searched);
        input.byAddress = byAddress;  // the advice names the window's menu item
        return input;
    });
    m_diagnostics->show();
    m_diagnostics->raise();
    m_diagnostics->activateWindow();
}

void CVindrelFrameWnd::SetTargets(const QStringList& targets)
{
    std::vector<ProbeTarget> parsed;
    m_targets.clear();
    for (const QString& line : targets) {
        const QString written = line.trimmed();
        const ProbeTargetParse parse = ParseProbeTarget(written.toStdString());
        // A hand-edited file may hold junk: it is left out, not fatal.
        if (parse.target) {
            parsed.push_back(*parse.target);
            m_targets.append(written);
        }
    }
    m_engine.SetTargets(std::move(parsed));
}

void CVindrelFrameWnd::MarkSilentRows()
{
    // A server gets ten probe rounds from the start of the search before its
    // row dims, however long the search was stopped.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_searchingSince < kSilence)
        return;
    m_servers->Model().UpdateSilence(now - kSilence);
}

QString CVindrelFrameWnd::AskForExportFile()
{
    return QFileDialog::getSaveFileName(this, Text(QStringLiteral("Export_Title")),
                                        QDir::home().filePath(QStringLiteral("vindrel-servers.csv")),
                                        QStringLiteral("CSV (*.csv);;JSON (*.json)"));
}

void CVindrelFrameWnd::DrainQueue()
{
    m_servers->Add(m_queue->Take());
    // The next sightings wait a little, so that the window wakes at most
    // kDrainsPerSecond times a second however fast replies come.
    m_rearm.start();
}

void CVindrelFrameWnd::OnRearm()
{
    if (!m_queue->Arm())
        DrainQueue();
}

void CVindrelFrameWnd::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4, a taskbar's Close) does what the
    // window's own close button does: Exit is the tray's and the menu's.
    event->ignore();
    HideWindow();
}

void CVindrelFrameWnd::MinimizeWindow()
{
    showMinimized();
}

void CVindrelFrameWnd::HideWindow()
{
    // Without a tray icon a hidden window could never come back, and the
    // running instance would turn every new start away.
    if (!m_tray || !m_tray->TrayShown()) {
        // A minimised window comes back from a taskbar. A Wayland client
        // cannot tell whether there is one (weston and a plain GNOME have
        // none, and a minimised window is then lost): it stays and says why.
        if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) {
            ShowStatus(Text(QStringLiteral("Status_NoTray")));
            return;
        }
        MinimizeWindow();
        return;
    }
    hide();
}

void CVindrelFrameWnd::ShowNormal()
{
    showNormal();
    raise();
    activateWindow();
}

void CVindrelFrameWnd::ToggleMaximize()
{
    const bool wasMaximized = isMaximized();
    if (wasMaximized)
        showNormal();
    else
        showMaximized();
    const QString image =
        wasMaximized ? QStringLiteral("res\\common\\max_btn_normal.png") : QStringLiteral("res\\common\\restore.png");
    if (SkinButton* button = Button(QStringLiteral("MAXBTN"))) {
        for (const char* attribute : {"normalimage", "hotimage", "pushedimage"})
            button->SetLookAttribute(QString::fromLatin1(attribute), image);
    }
}

void CVindrelFrameWnd::ShowSearchState(const QString& active, const char16_t* activeLook, const QString& idle,
                                       const char16_t* idleLook)
{
    SkinButton* activeButton = Button(active);
    if (!activeButton)
        return;
    activeButton->ApplyAttributeList(QString::fromUtf16(activeLook));
    activeButton->SetMouseEnabled(false);
    if (SkinButton* idleButton = Button(idle)) {
        idleButton->SetMouseEnabled(true);
        idleButton->ApplyAttributeList(QString::fromUtf16(idleLook));
    }
}

void CVindrelFrameWnd::StartSearch()
{
    if (!Button(QStringLiteral("SEARCHBTN")))
        return;
    ShowSearchState(QStringLiteral("SEARCHBTN"), kSearchActiveLook, QStringLiteral("STOPBTN"), kStopIdleLook);
    m_engine.SetPaused(false);
    m_searchingSince = std::chrono::steady_clock::now();
    m_silenceCheck.start();
    m_messageUntil = {};
    UpdateStatusLine();
}

void CVindrelFrameWnd::StopSearch()
{
    if (!Button(QStringLiteral("STOPBTN")))
        return;
    ShowSearchState(QStringLiteral("STOPBTN"), kStopActiveLook, QStringLiteral("SEARCHBTN"), kSearchIdleLook);
    m_engine.SetPaused(true);
    // While stopped no reply can come, so nothing dims.
    m_silenceCheck.stop();
    m_messageUntil = {};
    UpdateStatusLine();
}

void CVindrelFrameWnd::RefreshList()
{
    m_servers->RemoveAll();
}

void CVindrelFrameWnd::OpenServerPage()
{
    const int row = m_servers->SelectedRow();
    if (row < 0 || row >= m_servers->Model().Count())
        return;
    const ServerRecord& record = m_servers->Model().RowAt(row).record;
    // The texts came from the network: no page for anything but an address
    // and a port (see ServerPageAddress).
    const QString ip = QString::fromStdU16String(record.IP);
    const QString port = QString::fromStdU16String(record.Port);
    const std::optional<QString> address = ServerPageAddress(ip, port);
    const QString failed = Text(QStringLiteral("Status_PageFailed"));
    if (!address)
        ShowStatus(failed.arg(
            ip, Text(QStringLiteral("Reason_BadAddress")).arg(QStringLiteral("http://") + ip + u':' + port)));
    else if (!m_options.openUrl(QUrl(*address, QUrl::StrictMode)))
        ShowStatus(failed.arg(ip, Text(QStringLiteral("Reason_NoBrowser"))));
}

void CVindrelFrameWnd::PlaceOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The skin's size, unless the screen is smaller (a small screen, or a
    // 2x scale that halves it): then the available area. The window draws
    // its own frame, so its geometry is all of it.
    const QRect area = screen->availableGeometry();
    setMinimumSize(minimumSize().boundedTo(area.size()));
    resize(size().boundedTo(area.size()));
    QRect placed(QPoint(), size());
    placed.moveCenter(area.center());
    move(placed.topLeft());
}

void CVindrelFrameWnd::SwitchLanguage(const QString& code)
{
    m_language = code;
    const QRect frame = geometry();
    Retranslate();
    // The layout takes the new texts' sizes; the window stays where it was.
    if (layout())
        layout()->activate();
    setGeometry(frame);
    WriteLanguagePreference(m_settingsDir.toStdU16String(), code.toStdU16String(),
                            m_options.createSettings ? IfMissing::kCreate : IfMissing::kLeave);
}

void CVindrelFrameWnd::ExitApplication()
{
    if (m_tray)
        m_tray->RemoveTrayIcon();
    QueueQuit(0);
}
