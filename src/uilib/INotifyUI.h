#pragma once

#include "uilib/CDuiString.h"
#include "uilib/UiDefs.h"

class CControlUI;

// One notification from a control of a window: Type is "click" (a button was
// clicked), "itemactivate" (a list row was double-clicked or Enter pressed;
// the sender is the list) or "itemselect" (the list's selection moved).
// Sender belongs to the window and is valid during the call only.
struct TNotifyUI
{
    CDuiString Type;
    CControlUI* Sender = nullptr;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
};

class INotifyUI
{
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};
