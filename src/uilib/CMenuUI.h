#pragma once

#include "uilib/CContainerUI.h"

#include <memory>
#include <vector>

class CMenuElementUI;
class QMenu;

// The root of a menu: its items, those of menu.xml first, then the added ones.
// Owned by its CMenuWnd.
class CMenuUI : public CContainerUI
{
public:
    explicit CMenuUI(QMenu* menu);
    ~CMenuUI() override;

    CControlUI* FindSubControl(const CDuiString& name) const override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    // Takes ownership of a CMenuElementUI; false for anything else.
    bool Add(CControlUI* control) override;
    void RemoveAll() override;

    void ReloadText() override;

private:
    QMenu* m_menu;  // owns the actions; lives as long as this
    std::vector<std::unique_ptr<CMenuElementUI>> m_items;
};
