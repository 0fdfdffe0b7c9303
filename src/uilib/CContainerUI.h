#pragma once

#include "uilib/CControlUI.h"

// A control holding others. Over a skin widget it sees the named widgets
// below it; lists, rows and menus override the item calls.
class CContainerUI : public CControlUI
{
public:
    CContainerUI();
    explicit CContainerUI(QWidget* widget);

    // The first control named `name` (exactly) below this one, or nullptr.
    virtual CControlUI* FindSubControl(const CDuiString& name) const;
    virtual int GetCount() const;
    virtual CControlUI* GetItemAt(int index) const;  // nullptr when out of range
    // Takes ownership on success; on false the caller still owns `control`.
    virtual bool Add(CControlUI* control);
    virtual void RemoveAll();

    CContainerUI* AsContainer() override { return this; }
};
