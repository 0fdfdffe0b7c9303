#pragma once

#include "uilib/CControlUI.h"

class CListContainerElementUI;

// One named cell of a list row: text only, no widget. Owned by its row.
class ListCellUI final : public CControlUI
{
public:
    ListCellUI(CListContainerElementUI* row, int column, const CDuiString& name, const CDuiString& text);
    void SetText(const CDuiString& text) override;
    void SetName(const CDuiString& name) override;  // names are fixed by the template: ignored

private:
    CListContainerElementUI* m_row;  // owner
    int m_column;
};
