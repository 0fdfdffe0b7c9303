#pragma once

#include "uilib/CContainerUI.h"

#include <memory>
#include <vector>

class CListUI;

// One row of a list: not a widget, a small record of named cells built from
// a row template (CDialogBuilder). Cell i is shown in the list's column i.
// FindSubControl gives a cell as a CControlUI whose SetText updates the list.
// Owned by its list once added (CListUI::Add), by the caller before that.
class CListContainerElementUI : public CContainerUI
{
public:
    struct CellTemplate
    {
        CDuiString Name;
        CDuiString Text;
    };
    explicit CListContainerElementUI(const std::vector<CellTemplate>& cells = {});
    ~CListContainerElementUI() override;

    CControlUI* FindSubControl(const CDuiString& name) const override;
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;
    bool Add(CControlUI* control) override;  // rows have fixed cells: false
    void RemoveAll() override;               // no-op

    // Text of cell `column` (empty when out of range).
    CDuiString GetCellText(int column) const;
    CListUI* GetOwner() const { return m_owner; }
    int GetIndex() const { return m_index; }

private:
    friend class CListUI;
    friend class ListCellUI;
    friend class ServerListModel;
    void CellChanged(int column, const CDuiString& before);

    std::vector<std::unique_ptr<CControlUI>> m_cells;
    CListUI* m_owner = nullptr;  // set while the row is in a list
    int m_index = -1;
};
