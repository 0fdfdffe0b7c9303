#pragma once

#include "uilib/CDuiString.h"
#include "uilib/CTrayIcon.h"
#include "uilib/UiDefs.h"

#include <memory>
#include <string_view>

class CMenuElementUI;
class CMenuWnd;
class CVindrelFrameWnd;

// The main window's tray icon and its two pop-up menus: the tray menu (Show,
// Exit) and the language menu (English, 简体中文), and what their commands
// do. At most one menu object exists at a time; opening either menu replaces
// it. GUI thread only.
class TrayMenus final
{
public:
    // `window` owns this object and outlives it.
    explicit TrayMenus(CVindrelFrameWnd& window);
    ~TrayMenus();

    // Shows the icon (tooltip "Vindrel"); its mouse messages come back as 1025.
    void CreateTrayIcon();
    // True while the icon is really shown in a notification area.
    bool TrayShown() const { return m_trayIcon.Enabled(); }

    // Message 1025: a button released over the icon (514, 517) opens the tray
    // menu at the cursor; every other mouse message is ignored.
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // Message 1145: `wParam` is a library-allocated MenuCmd, or 0. The record
    // is released here whatever its name.
    LRESULT OnMenuCommand(WPARAM wParam);
    void ShowLanguageMenu();
    // A tray item for "show" or "exit": named MENU_<WORD>, its text the key
    // menu_<WORD>. The caller owns it until a menu takes it.
    static CMenuElementUI* MakeMenuItem(std::u16string_view word);
    // Re-texts every control, lays the window out again where it was and
    // stores the choice in lang.xml.
    void SwitchLanguage(const CDuiString& code);
    // Removes the tray icon and ends the message loop with code 0.
    void ExitApplication();

    CMenuWnd* CurrentMenu() const { return m_menu.get(); }

private:
    // Replaces the current menu with a new one from menu.xml at the cursor,
    // opening upwards and to the right.
    CMenuWnd& OpenMenu();

    CVindrelFrameWnd& m_window;
    std::unique_ptr<CMenuWnd> m_menu;
    CTrayIcon m_trayIcon;
};
