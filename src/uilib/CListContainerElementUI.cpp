#include "uilib/CListContainerElementUI.h"

#include "uilib/CListUI.h"
#include "uilib/ListCellUI.h"

ListCellUI::ListCellUI(CListContainerElementUI* row, int column, const CDuiString& name, const CDuiString& text)
    : m_row(row)
    , m_column(column)
{
    CControlUI::SetName(name);
    CControlUI::SetText(text);
}

void ListCellUI::SetText(const CDuiString& text)
{
    const CDuiString before = GetRawText();
    CControlUI::SetText(text);
    if (before != text)
        m_row->CellChanged(m_column, before);
}

void ListCellUI::SetName(const CDuiString&) {}

CListContainerElementUI::CListContainerElementUI(const std::vector<CellTemplate>& cells)
{
    m_cells.reserve(cells.size());
    for (const auto& cell : cells)
        m_cells.push_back(std::make_unique<ListCellUI>(this, static_cast<int>(m_cells.size()), cell.Name, cell.Text));
}

CListContainerElementUI::~CListContainerElementUI() = default;

CControlUI* CListContainerElementUI::FindSubControl(const CDuiString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (const auto& cell : m_cells) {
        if (cell->GetName() == name)
            return cell.get();
    }
    return nullptr;
}

int CListContainerElementUI::GetCount() const
{
    return static_cast<int>(m_cells.size());
}

CControlUI* CListContainerElementUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_cells[static_cast<std::size_t>(index)].get();
}

bool CListContainerElementUI::Add(CControlUI*)
{
    return false;
}

void CListContainerElementUI::RemoveAll() {}

CDuiString CListContainerElementUI::GetCellText(int column) const
{
    const CControlUI* cell = GetItemAt(column);
    return cell ? cell->GetText() : CDuiString();
}

void CListContainerElementUI::CellChanged(int column, const CDuiString& before)
{
    if (m_owner)
        m_owner->RowCellChanged(m_index, column, before);
}
