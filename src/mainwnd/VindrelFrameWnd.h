#pragma once

#include "diagnosis/Diagnosis.h"
#include "discovery/DiscoveryEngine.h"
#include "discovery/EngineStatus.h"
#include "mainwnd/ServerFeed.h"
#include "mainwnd/StatusLine.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class DiagnosticsDialog;
class KnownServerActions;
class RowActions;
class ServerList;
class SkinButton;
class TrayMenus;

// The program's main window: a frameless window built from the skin
// "vindrel.xml". It owns the server feed, the server list, the status line,
// the tray icon and menus, wires them together and turns clicks and row
// activation into actions. The list takes its rows from the feed directly:
// the window is not on a record's way. GUI thread only.
class CVindrelFrameWnd final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CVindrelFrameWnd)

public:
    struct Options
    {
        // The real engine broadcasts on every interface: tests switch it off
        // and get a window that never touches the network.
        bool startDiscovery = true;
        DiscoveryOptions discovery;
        // Opens a server's page and says whether it could; the desktop's URL
        // opener when empty.
        std::function<bool(const QUrl&)> openUrl;
        // Sends a Wake-on-LAN packet for a server: empty when sent, else
        // why not. The real sender when empty.
        std::function<QString(const QString& mac, unsigned interfaceIndex, quint32 localAddress)> wake;
        // Asks where to export the list; empty when declined. A save dialog
        // when empty.
        std::function<QString()> chooseExportFile;
        // Gathers a diagnosis's facts for the engine's status and how long
        // the search ran; runs on a worker thread. The real system's when
        // empty.
        std::function<DiagnosisInput(const EngineStatus&, std::chrono::milliseconds searched)> gatherDiagnosis;
        // Folder of lang.xml, ending with '/'; when empty, the program's
        // settings folder and its rule (base/AppFolders.h).
        QString settingsDir;
        // Whether a missing lang.xml is made there, with the desktop's
        // language at the first start. Set for the user's settings folder;
        // a portable folder keeps the lang.xml it ships, or none.
        bool createSettings = false;
    };

    CVindrelFrameWnd();
    explicit CVindrelFrameWnd(Options options);
    ~CVindrelFrameWnd() override;

    // Builds the window from vindrel.xml, reads the language, shows the tray
    // icon, starts discovery and the searching state. False, with
    // ErrorString() naming the skin, when the skin cannot be loaded; the
    // window must then not be shown.
    bool Initialise();
    QString ErrorString() const { return m_error; }

    // Window actions.
    void MinimizeWindow();
    // Hides to the tray. Where no tray icon is shown it minimises (X11), or
    // on Wayland stays shown and says so in the status line, so that the
    // window can always be reached again.
    void HideWindow();
    void ShowNormal();
    void ToggleMaximize();
    void StartSearch();
    void StopSearch();
    void RefreshList();
    void OpenServerPage();
    // Re-texts every control and menu item, keeps the window where it is and
    // stores the choice in lang.xml.
    void SwitchLanguage(const QString& code);
    // Removes the tray icon and ends the event loop with code 0.
    void ExitApplication();
    // Puts the keyboard focus into the filter field.
    void FocusFilter();
    // Sizes and centres the window inside the screen's available area.
    void PlaceOnScreen();
    // Shows `message` in the status line for a while; then the line says
    // again which state the search is in.
    void ShowStatus(const QString& message);
    // "Find by address…": the targets dialog; what it keeps is probed from
    // the next round on and remembered in the settings folder.
    void FindByAddress();
    // "Diagnostics…": why the list is empty, checked off the GUI thread in a
    // dialog that stays open beside the list.
    void ShowDiagnostics();
    DiagnosticsDialog* Diagnostics() const { return m_diagnostics; }
    // The targets to probe by address besides the broadcasts, applied and saved.
    void SetTargets(const QStringList& targets);
    QStringList Targets() const { return m_targets; }

    QString Language() const { return m_language; }
    QString Text(const QString& key) const;
    ServerList& Servers() { return *m_servers; }
    TrayMenus& Tray() { return *m_tray; }
    RowActions& Rows() { return *m_rowActions; }
    // What the program remembers of servers; made by Initialise.
    KnownServerActions& Known() { return *m_known; }
    // What the engine hears; a subscriber of its own may connect to it.
    ServerFeed& Feed() { return m_feed; }
    // A control of the skin by its name, or nullptr.
    QWidget* Control(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::u16string StartingLanguage() const;
    KnownServerActions* MakeKnownServers();
    void ConnectControls();
    void AddShortcuts();
    void Retranslate();
    void DescribeForScreenReaders();
    SkinButton* Button(const QString& name) const;

    Options m_options;
    QString m_settingsDir;
    QString m_language;
    QString m_error;
    QWidget* m_content = nullptr;                // the skin's root, a child
    ServerList* m_servers;                       // child
    TrayMenus* m_tray = nullptr;                 // child, made by Initialise
    RowActions* m_rowActions = nullptr;          // child, made by Initialise
    DiagnosticsDialog* m_diagnostics = nullptr;  // child, made when first asked for
    KnownServerActions* m_known = nullptr;       // child, made by Initialise
    QStringList m_targets;
    // The status line watches the feed, so it goes first.
    ServerFeed m_feed;
    StatusLine m_statusLine;
};
