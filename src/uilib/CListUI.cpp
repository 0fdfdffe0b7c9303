#include "uilib/CListUI.h"

#include "uilib/CListContainerElementUI.h"
#include "uilib/CResourceManager.h"
#include "uilib/ServerListModel.h"

#include <QHeaderView>
#include <QTreeView>

namespace {
QStringList HeaderKeys(const QWidget* view)
{
    QStringList keys;
    const auto parts = view->property("columns").toString().split(u';');
    for (const QString& part : parts) {
        if (!part.trimmed().isEmpty())
            keys.append(part.trimmed());
    }
    return keys;
}
}  // namespace

CListUI::CListUI(QTreeView* widget)
    : CContainerUI(widget)
    , m_model(std::make_unique<ServerListModel>())
{
    m_model->SetHeaderKeys(HeaderKeys(widget));
    widget->setModel(m_model.get());
    widget->setRootIsDecorated(false);
    widget->setItemsExpandable(false);
    widget->setUniformRowHeights(true);  // keeps thousands of rows cheap to lay out
    widget->setSelectionBehavior(QAbstractItemView::SelectRows);
    widget->setSelectionMode(QAbstractItemView::SingleSelection);
    widget->setAllColumnsShowFocus(true);
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

// Runs while the view itself is being destroyed (the facade is its child):
// the view must not hear of the model's end any more, so cut every
// connection first and leave the view alone.
CListUI::~CListUI()
{
    m_model->disconnect();
}

int CListUI::GetCurSel() const
{
    auto* view = qobject_cast<QTreeView*>(GetWidget());
    if (!view || !view->selectionModel())
        return -1;
    const auto rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool CListUI::SelectItem(int index)
{
    auto* view = qobject_cast<QTreeView*>(GetWidget());
    if (!view || index < 0 || index >= GetCount())
        return false;
    m_model->Flush();
    view->setCurrentIndex(m_model->index(index, 0));
    return true;
}

int CListUI::GetCount() const
{
    return m_model->Count();
}

CControlUI* CListUI::GetItemAt(int index) const
{
    return m_model->RowAt(index);
}

CListContainerElementUI* CListUI::GetRowAt(int index) const
{
    return m_model->RowAt(index);
}

bool CListUI::Add(CControlUI* control)
{
    auto* row = dynamic_cast<CListContainerElementUI*>(control);
    if (!row || row->m_owner)
        return false;
    m_model->Append(std::unique_ptr<CListContainerElementUI>(row));
    row->m_owner = this;
    return true;
}

void CListUI::RemoveAll()
{
    m_model->Clear();
}

CControlUI* CListUI::FindSubControl(const CDuiString&) const
{
    return nullptr;
}

int CListUI::FindRowByText(const CDuiString& cellName, const CDuiString& text) const
{
    return m_model->FindRow(cellName, text);
}

void CListUI::ReloadHeader()
{
    m_model->ReloadHeader();
}

void CListUI::ReloadText()
{
    CContainerUI::ReloadText();
    ReloadHeader();
}

void CListUI::FlushPendingRows()
{
    m_model->Flush();
}

void CListUI::RowCellChanged(int row, int column, const CDuiString& before)
{
    const CListContainerElementUI* element = m_model->RowAt(row);
    const CControlUI* cell = element ? element->GetItemAt(column) : nullptr;
    if (cell)
        m_model->CellChanged(row, column, before, cell->GetText());
}
