#include "uilib/ServerListModel.h"

#include "uilib/CListContainerElementUI.h"
#include "uilib/CResourceManager.h"

#include <QTextDocument>

ServerListModel::ServerListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_flush.setSingleShot(true);
    m_flush.setInterval(kBatchMs);
    connect(&m_flush, &QTimer::timeout, this, &ServerListModel::Flush);
}

ServerListModel::~ServerListModel()
{
    for (auto& row : m_rows)
        row->m_owner = nullptr;
}

int ServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_viewRows;
}

int ServerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_viewRows)
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const QString& text = m_rows[static_cast<std::size_t>(index.row())]->GetCellText(index.column());
    // A tooltip renders markup when the text merely looks like it; cells hold
    // what a server sent, which is shown as written, never as markup.
    if (role == Qt::ToolTipRole && Qt::mightBeRichText(text))
        return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
    return QVariant(text);
}

QVariant ServerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section < 0 || section >= m_headerKeys.size())
        return {};
    return QVariant(static_cast<const QString&>(CResourceManager::GetInstance()->GetText(m_headerKeys[section])));
}

void ServerListModel::SetHeaderKeys(const QStringList& keys)
{
    const int columns = std::max(1, static_cast<int>(keys.size()));
    beginResetModel();
    m_headerKeys = keys;
    m_columns = columns;
    endResetModel();
}

void ServerListModel::ReloadHeader()
{
    if (!m_headerKeys.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_headerKeys.size()) - 1);
}

CListContainerElementUI* ServerListModel::RowAt(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return m_rows[static_cast<std::size_t>(index)].get();
}

void ServerListModel::Append(std::unique_ptr<CListContainerElementUI> row)
{
    const int index = Count();
    row->m_owner = nullptr;  // set by CListUI, which knows itself
    row->m_index = index;
    for (auto it = m_indexes.begin(); it != m_indexes.end(); ++it) {
        if (CControlUI* cell = row->FindSubControl(it.key()))
            (*it)[cell->GetText()].insert(index);
    }
    const int cells = row->GetCount();
    m_rows.push_back(std::move(row));
    // Without column titles the first rows decide how many columns show.
    if (m_headerKeys.isEmpty() && cells > m_columns) {
        beginInsertColumns({}, m_columns, cells - 1);
        m_columns = cells;
        endInsertColumns();
    }
    ScheduleFlush();
}

void ServerListModel::Clear()
{
    m_flush.stop();
    beginResetModel();
    for (auto& row : m_rows)
        row->m_owner = nullptr;
    m_rows.clear();
    m_viewRows = 0;
    m_dirtyFirst = m_dirtyLast = -1;
    for (auto it = m_indexes.begin(); it != m_indexes.end(); ++it)
        it->clear();
    endResetModel();
}

void ServerListModel::CellChanged(int row, int column, const QString& before, const QString& after)
{
    CListContainerElementUI* element = RowAt(row);
    if (!element)
        return;
    CControlUI* cell = element->GetItemAt(column);
    if (cell) {
        const auto it = m_indexes.find(cell->GetName());
        if (it != m_indexes.end() && before != after) {
            auto old = it->find(before);
            if (old != it->end()) {
                old->erase(row);
                if (old->empty())
                    it->erase(old);
            }
            (*it)[after].insert(row);
        }
    }
    if (row < m_viewRows) {
        m_dirtyFirst = m_dirtyFirst < 0 ? row : std::min(m_dirtyFirst, row);
        m_dirtyLast = std::max(m_dirtyLast, row);
        ScheduleFlush();
    }
}

ServerListModel::TextIndex& ServerListModel::IndexFor(const QString& cellName)
{
    auto it = m_indexes.find(cellName);
    if (it != m_indexes.end())
        return *it;
    TextIndex index;
    for (int i = 0; i < Count(); ++i) {
        if (CControlUI* cell = m_rows[static_cast<std::size_t>(i)]->FindSubControl(cellName))
            index[cell->GetText()].insert(i);
    }
    return *m_indexes.insert(cellName, std::move(index));
}

int ServerListModel::FindRow(const QString& cellName, const QString& text)
{
    if (cellName.isEmpty())
        return -1;
    const TextIndex& index = IndexFor(cellName);
    const auto it = index.constFind(text);
    return it == index.cend() || it->empty() ? -1 : *it->begin();
}

void ServerListModel::ScheduleFlush()
{
    if (!m_flush.isActive())
        m_flush.start();
}

void ServerListModel::Flush()
{
    m_flush.stop();
    if (m_dirtyFirst >= 0) {
        emit dataChanged(index(m_dirtyFirst, 0), index(m_dirtyLast, m_columns - 1));
        m_dirtyFirst = m_dirtyLast = -1;
    }
    if (m_viewRows < Count()) {
        beginInsertRows({}, m_viewRows, Count() - 1);
        m_viewRows = Count();
        endInsertRows();
    }
}
