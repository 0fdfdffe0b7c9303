#pragma once

#include "uilib/CDuiString.h"
#include "uilib/UiDefs.h"

#include <memory>

class CWindowWnd;
class QSystemTrayIcon;

// The notification-area icon of a window. Mouse activity over the icon is
// posted to the window as `message` (0 → 1025) with wParam = the icon id and
// lParam = the mouse message: 514 (left click), 517 (right click), 515
// (double click), 520 (middle click). GUI thread only.
class CTrayIcon
{
public:
    CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    ~CTrayIcon();

    // `window` is a CWindowWnd's handle; 128 is the program icon.
    void CreateTrayIcon(HWND window, UINT iconId, const CDuiString& tip = {}, UINT message = 0);
    void DeleteTrayIcon();
    // True only while an icon is really shown in a notification area.
    bool Enabled() const;
    bool SetTooltipText(const CDuiString& tip);
    CDuiString GetTooltipText() const;
    // Where the icon is on screen (all zero when not shown).
    RECT GetIconRect() const;

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
    UINT m_message = 0;
};
