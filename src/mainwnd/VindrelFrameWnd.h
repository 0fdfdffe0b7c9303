#pragma once

#include "discovery/Diagnosis.h"
#include "discovery/DiscoveryEngine.h"
#include "discovery/EngineStatus.h"
#include "discovery/ServerQueue.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class DiagnosticsDialog;
class RowActions;
class ServerList;
class SkinButton;
class TrayMenus;

// The program's main window: a frameless window built from the skin
// "vindrel.xml", owning the server list, the tray icon and menus and the
// discovery engine. It turns clicks and row activation into actions and the
// engine's sightings into rows. GUI thread only; the engine's threads reach
// it only through the queue they share, which wakes the window with a queued
// call.
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
        // opener by default.
        std::function<bool(const QUrl&)> openUrl;
        // Sends a Wake-on-LAN packet for a server: empty when sent, else
        // why not. The real sender by default.
        std::function<QString(const QString& mac, unsigned interfaceIndex, quint32 localAddress)> wake;
        // Asks where to export the list; empty when declined. A save dialog
        // by default.
        std::function<QString()> chooseExportFile;
        // Gathers a diagnosis's facts for the engine's status and how long
        // the search ran; runs on a worker thread. The real system's by
        // default.
        std::function<DiagnosisInput(const EngineStatus&, std::chrono::milliseconds searched)> gatherDiagnosis;
        // Folder of lang.xml, ending with '/'; when empty, the program's
        // settings folder and its rule (base/AppFolders.h).
        QString settingsDir;
        // Whether a missing lang.xml is made there, with the desktop's
        // language at the first start. Set for the user's settings folder;
        // a portable folder keeps the lang.xml it ships, or none.
        bool createSettings = false;
    };

    // At most this often a second the window takes in what the engine found.
    static constexpr int kDrainsPerSecond = 30;
    // A row whose server has not answered for this long is drawn dimmed:
    // ten probe rounds.
    static constexpr std::chrono::seconds kSilence{5};
    // How long a message (copied, exported, …) stands in the status line.
    static constexpr std::chrono::seconds kMessageTime{8};

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

    // Takes in what waits in the queue now; the queue's wake calls it.
    void DrainQueue();

    QString Language() const { return m_language; }
    QString Text(const QString& key) const;
    ServerList& Servers() { return *m_servers; }
    TrayMenus& Tray() { return *m_tray; }
    RowActions& Rows() { return *m_rowActions; }
    const DiscoveryEngine& Engine() const { return m_engine; }
    const std::shared_ptr<ServerQueue>& Queue() const { return m_queue; }
    // A control of the skin by its name, or nullptr.
    QWidget* Control(const QString& name) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::u16string StartingLanguage() const;
    void ConnectControls();
    void AddShortcuts();
    void Retranslate();
    void DescribeForScreenReaders();
    void ShowShownCount();
    void MarkSilentRows();
    // The status line's state (searching, stopped, port in use, no network)
    // and the hint under an empty list.
    void UpdateStatusLine();
    QString StateText(const EngineStatus& status) const;
    void ShowSearchState(const QString& active, const char16_t* activeLook, const QString& idle,
                         const char16_t* idleLook);
    SkinButton* Button(const QString& name) const;
    void OnRearm();
    QString AskForExportFile();

    Options m_options;
    QString m_settingsDir;
    QString m_language;
    QString m_error;
    QWidget* m_content = nullptr;                // the skin's root, a child
    ServerList* m_servers;                       // child
    TrayMenus* m_tray = nullptr;                 // child, made by Initialise
    RowActions* m_rowActions = nullptr;          // child, made by Initialise
    DiagnosticsDialog* m_diagnostics = nullptr;  // child, made when first asked for
    QTimer m_rearm;
    QTimer m_silenceCheck;
    QTimer m_stateCheck;
    std::chrono::steady_clock::time_point m_messageUntil;
    QStringList m_targets;
    std::chrono::steady_clock::time_point m_searchingSince;
    std::shared_ptr<ServerQueue> m_queue = std::make_shared<ServerQueue>();
    DiscoveryEngine m_engine;
};
