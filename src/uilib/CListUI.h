#pragma once

#include "uilib/CContainerUI.h"

#include <memory>

class CListContainerElementUI;
class QTreeView;
class ServerListModel;

// The list of a skin (a QTreeView in the .ui) as a model/view table whose
// rows are CListContainerElementUI records. Column titles are the catalogue
// keys in the widget's dynamic property `columns` ("key1;key2;..."),
// resolved like resource texts.
//
// Counts, lookups and GetItemAt always reflect every Add at once; the view
// learns about appended or changed rows in batches (at most ~30 ms late), so
// that thousands of rows a second stay cheap. GUI thread only.
class CListUI : public CContainerUI
{
public:
    explicit CListUI(QTreeView* widget);
    ~CListUI() override;

    int GetCurSel() const;  // -1 when nothing is selected
    bool SelectItem(int index);
    int GetCount() const override;
    CControlUI* GetItemAt(int index) const override;  // a CListContainerElementUI
    CListContainerElementUI* GetRowAt(int index) const;
    // Takes ownership of a CListContainerElementUI; false for anything else.
    bool Add(CControlUI* control) override;
    void RemoveAll() override;
    CControlUI* FindSubControl(const CDuiString& name) const override;  // never a row cell

    // Index of the first row whose cell `cellName` shows exactly `text`, or
    // -1. Backed by an index kept up to date as cells change: O(1).
    int FindRowByText(const CDuiString& cellName, const CDuiString& text) const;

    // Resolves the column titles again.
    void ReloadHeader();
    void ReloadText() override;
    // Hands pending changes to the view now (tests, screenshots).
    void FlushPendingRows();

private:
    friend class CListContainerElementUI;
    void RowCellChanged(int row, int column, const CDuiString& before);

    std::unique_ptr<ServerListModel> m_model;
};
