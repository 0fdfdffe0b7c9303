#include "mainwnd/VindrelFrameWnd.h"

#include "base/AppFolders.h"
#include "base/LocaleText.h"
#include "diagnosis/DiagnosisText.h"
#include "diagnosis/GatherDiagnosis.h"
#include "discovery/ServerFields.h"
#include "i18n/LanguagePreference.h"
#include "i18n/TextCatalogue.h"
#include "mainwnd/DiagnosticsDialog.h"
#include "mainwnd/KnownServerActions.h"
#include "mainwnd/KnownServers.h"
#include "mainwnd/RowActions.h"
#include "mainwnd/SavedTargets.h"
#include "mainwnd/SearchButtons.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/TargetsDialog.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"
#include "uilib/SkinText.h"
#include "uilib/WindowFrame.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>

namespace {

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
    , m_feed(m_options.discovery)
    , m_statusLine(m_feed, *m_servers, [this](const QString& key) { return Text(key); })
{
    if (m_settingsDir.isEmpty()) {
        m_settingsDir = QString::fromStdU16String(DecodeLocal8Bit(ProgramFolders().settings));
        m_options.createSettings = !ProgramFolders().portable;
    }
    setWindowTitle(QStringLiteral("Vindrel"));
    m_servers->Follow(m_feed);
}

CVindrelFrameWnd::~CVindrelFrameWnd()
{
    m_feed.Stop();
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
    m_statusLine.Attach(qobject_cast<QLabel*>(Control(QStringLiteral("STATUSTEXT"))),
                        Control(QStringLiteral("HINTBAR")));
    m_tray = new TrayMenus(this);
    connect(m_tray, &TrayMenus::ShowRequested, this, &CVindrelFrameWnd::ShowNormal);
    connect(m_tray, &TrayMenus::ExitRequested, this, &CVindrelFrameWnd::ExitApplication);
    connect(m_tray, &TrayMenus::LanguageChosen, this, &CVindrelFrameWnd::SwitchLanguage);
    RowActions::Hooks hooks;
    hooks.openUrl = m_options.openUrl;
    hooks.wake = m_options.wake;
    hooks.chooseExportFile = m_options.chooseExportFile;
    hooks.text = [this](const QString& key) { return Text(key); };
    m_known = MakeKnownServers();
    hooks.watched = [this](const ServerRecord& r) { return m_known->IsWatched(r); };
    hooks.setWatched = [this](const ServerRecord& r, bool watched) { m_known->SetWatched(r, watched); };
    hooks.history = [this](const ServerRecord& r) { m_known->ShowHistory(r); };
    m_rowActions = new RowActions(*m_servers, std::move(hooks), this);
    connect(m_rowActions, &RowActions::Status, &m_statusLine, &StatusLine::ShowMessage);
    connect(m_tray, &TrayMenus::ExportRequested, m_rowActions, &RowActions::ExportList);
    connect(m_tray, &TrayMenus::FindByAddressRequested, this, &CVindrelFrameWnd::FindByAddress);
    connect(m_tray, &TrayMenus::DiagnosticsRequested, this, &CVindrelFrameWnd::ShowDiagnostics);
    connect(m_tray, &TrayMenus::KnownServersRequested, m_known, &KnownServerActions::ShowKnownServers);
    connect(m_tray, &TrayMenus::SettingsRequested, m_known, &KnownServerActions::ShowSettings);
    ConnectControls();
    AddShortcuts();

    m_language = QString::fromStdU16String(StartingLanguage());
    Retranslate();
    m_tray->CreateTrayIcon();
    SetTargets(LoadTargets(m_settingsDir));
    if (m_options.startDiscovery)
        m_feed.Start();
    StartSearch();
    // The book is read after the window shows: a large one must not delay it.
    QTimer::singleShot(0, m_known, &KnownServerActions::Load);
    // The keyboard starts where the work is: in the list.
    if (QTableView* view = m_servers->View())
        view->setFocus(Qt::OtherFocusReason);
    return true;
}

KnownServerActions* CVindrelFrameWnd::MakeKnownServers()
{
    // servers.db beside lang.xml when the settings folder was given (tests,
    // a portable folder), else in the program's state folder.
    const std::string state =
        m_options.settingsDir.isEmpty() ? ProgramFolders().state : QFile::encodeName(m_settingsDir).toStdString();
    // A folder that cannot be made leaves the book to say why it is not kept.
    MakeFolders(state);
    KnownServerActions::Hooks hooks;
    hooks.openPage = [this](const QString& ip, const QString& port) { m_rowActions->OpenPageAt(ip, port); };
    hooks.status = [this](const QString& message) { ShowStatus(message); };
    hooks.tray = [this]() -> QSystemTrayIcon* { return m_tray && m_tray->TrayShown() ? m_tray->Icon() : nullptr; };
    auto* known = new KnownServerActions(this, m_settingsDir, state + "servers.db", std::move(hooks));
    connect(&m_feed, &ServerFeed::SightingsArrived, &known->Servers(), &KnownServers::Take);
    known->SetEventLine(qobject_cast<QLabel*>(Control(QStringLiteral("EVENT2"))),
                        qobject_cast<QLabel*>(Control(QStringLiteral("EVENT3"))));
    return known;
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
    if (QTableView* view = m_servers->View())
        connect(view, &QTableView::activated, this, &CVindrelFrameWnd::OpenServerPage);
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
    m_servers->Retranslate(lookup, m_language);
    m_tray->Retranslate(lookup);
    m_tray->SetCurrentLanguage(m_language);
    m_rowActions->Retranslate(lookup);
    m_known->Retranslate(lookup, m_language);
    DescribeForScreenReaders();
    m_statusLine.Update();
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
        {"LOGO", "Logo_Name", "Logo_Desc"},       {"SEARCHBTN", nullptr, "Search_Desc"},
        {"STOPBTN", nullptr, "Stop_Desc"},        {"REFRESHBTN", nullptr, "Refresh_Desc"},
        {"LANGUAGEBTN", "Language_Btn", "Language_Desc"},
        {"MENUBTN", "Menu_Btn", "Menu_Desc"},     {"FILTEREDIT", "Filter_Edit", "Filter_Desc"},
        {"SERVERLIST", "List_Name", "List_Desc"}, {"MINBTN", "Min_Btn", "Window_Desc"},
        {"MAXBTN", "Max_Btn", "Window_Desc"},     {"CLOSEBTN", "Close_Btn", "Window_Desc"},
        {"FINDBTN", nullptr, "Find_Desc"},        {"DIAGBTN", nullptr, "Diag_Desc"},
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
    // The filter's clear button is an action Qt adds to the line edit,
    // under this name, without a text.
    if (QWidget* filter = Control(QStringLiteral("FILTEREDIT"))) {
        if (auto* clear = filter->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction")))
            clear->setText(Text(QStringLiteral("Filter_Clear")));
    }
}

void CVindrelFrameWnd::ShowStatus(const QString& message)
{
    m_statusLine.ShowMessage(message);
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
    const EngineStatus status = m_feed.Status();
    const auto searched = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                m_feed.SearchStarted());
    m_diagnostics->Run([gather = m_options.gatherDiagnosis, port = m_feed.ListenPort(), status, searched,
                        byAddress = Text(QStringLiteral("menu_find_address")).toStdString()] {
        DiagnosisInput input = gather ? gather(status, searched) : GatherDiagnosis(status, searched, port);
        input.byAddress = byAddress;  // the advice names the window's menu item
        return input;
    });
    m_diagnostics->show();
    m_diagnostics->raise();
    m_diagnostics->activateWindow();
}

void CVindrelFrameWnd::SetTargets(const QStringList& targets)
{
    m_targets = m_feed.SetTargets(targets);
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

void CVindrelFrameWnd::StartSearch()
{
    if (!ShowSearchState(true, Button(QStringLiteral("SEARCHBTN")), Button(QStringLiteral("STOPBTN"))))
        return;
    m_feed.SetPaused(false);
}

void CVindrelFrameWnd::StopSearch()
{
    if (!ShowSearchState(false, Button(QStringLiteral("SEARCHBTN")), Button(QStringLiteral("STOPBTN"))))
        return;
    m_feed.SetPaused(true);
}

void CVindrelFrameWnd::RefreshList()
{
    m_servers->RemoveAll();
}

void CVindrelFrameWnd::OpenServerPage()
{
    if (m_rowActions)
        m_rowActions->OpenPage();
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
