#pragma once

#include "uilib/CDuiString.h"
#include "uilib/UiDefs.h"

#include <map>
#include <memory>

class CMenuElementUI;
class CMenuUI;
class CPaintManagerUI;
class MenuPopup;

// Alignment flags of CMenuWnd::Init: which edge of the menu lies on the point.
enum MenuAlignment : DWORD {
    eMenuAlignment_Left = 1 << 1,    // left edge at x
    eMenuAlignment_Top = 1 << 2,     // top edge at y
    eMenuAlignment_Right = 1 << 3,   // right edge at x
    eMenuAlignment_Bottom = 1 << 4,  // bottom edge at y
};

// A pop-up menu loaded from a skin file whose root is a QMenu (items in it
// come first). Picking an item posts message 1145 to the manager's window with
// a MenuCmd record (see MenuCmd.h); the menu closes on a pick or when it
// loses focus. Deleting the object closes the menu if still open.
// GUI thread only.
class CMenuWnd
{
public:
    CMenuWnd();
    CMenuWnd(const CMenuWnd&) = delete;
    CMenuWnd& operator=(const CMenuWnd&) = delete;
    ~CMenuWnd();

    // Loads `file` (relative to the resource folder), opens the menu at
    // `point` (screen coordinates) with `alignment`. `owner` (sub-menus) is
    // not used. `checks` maps item names to check marks; it may be null.
    // Returns false when the file yields no menu: GetMenuUI is then null.
    bool Init(CMenuElementUI* owner, const CDuiString& file, POINT point, CPaintManagerUI* manager,
              std::map<CDuiString, bool>* checks = nullptr, DWORD alignment = eMenuAlignment_Left | eMenuAlignment_Top);
    CMenuUI* GetMenuUI() const;
    // Fits the menu to its items and places it again by the alignment.
    void ResizeMenu();
    void Close();
    bool IsOpen() const;
    HWND GetHWND() const;

private:
    std::unique_ptr<MenuPopup> m_popup;
};
