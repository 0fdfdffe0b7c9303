#pragma once

#include "discovery/DiscoveryEngine.h"
#include "discovery/ServerQueue.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/TrayMenus.h"
#include "uilib/WindowImplBase.h"

#include <QUrl>

#include <functional>

// The program's main window: built from "vindrel.xml", it owns the tray icon
// and menus, the server list's logic and the discovery engine, and turns
// clicks, row activation and the program's own window messages into actions.
// Everything here runs on the GUI thread, except that discovery threads send
// message 3024 through SendMessageW, which delivers it on the GUI thread.
class CVindrelFrameWnd final : public WindowImplBase
{
public:
    struct Options
    {
        // The real engine broadcasts on every interface: tests switch it off
        // and get a window that never touches the network.
        bool startDiscovery = true;
        // Opens a server's page; the desktop's URL opener by default.
        std::function<void(const QUrl&)> openUrl;
        // Folder of lang.xml, ending with '/'; the instance folder when empty.
        CDuiString settingsDir;
    };

    CVindrelFrameWnd();
    explicit CVindrelFrameWnd(Options options);
    ~CVindrelFrameWnd() override;

    CDuiString GetWindowClassName() const override { return u"UIVindrelFrameWnd"; }
    UINT GetClassStyle() const override { return 11; }  // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS
    void OnFinalMessage(HWND window) override;
    void InitWindow() override;
    CDuiString GetSkinFile() override { return u"vindrel.xml"; }
    LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void Notify(TNotifyUI& msg) override;
    const char16_t* QueryControlText(const char16_t* key, const char16_t* type) override;

    // Window actions.
    void MinimizeWindow();
    // Hides to the tray; minimises where no tray icon is shown, so that the
    // window can always be reached again.
    void HideWindow();
    void ShowNormal();
    void ToggleMaximize();
    void StartSearch();
    void StopSearch();
    void RefreshList();
    void OpenServerPage();

    ServerList& Servers() { return m_serverList; }
    TrayMenus& Tray() { return m_trayMenus; }
    const DiscoveryEngine& Engine() const { return m_engine; }
    const CDuiString& SettingsDir() const { return m_settingsDir; }
    CControlUI* FindControl(const CDuiString& name) const { return m_pm.FindControl(name); }

private:
    // Puts one of SEARCHBTN/STOPBTN into its active look and the other into
    // its idle look; nothing changes when `active` is missing.
    void ShowSearchState(const char16_t* active, const char16_t* activeLook, const char16_t* idle,
                         const char16_t* idleLook);

    void DrainQueue();

    Options m_options;
    CDuiString m_settingsDir;
    TrayMenus m_trayMenus;  // the current pop-up menu and the tray icon
    ServerList m_serverList;
    std::shared_ptr<ServerQueue> m_queue = std::make_shared<ServerQueue>();
    DiscoveryEngine m_engine;
};
