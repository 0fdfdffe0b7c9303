#include "mainwnd/ServerListModel.h"

#include "discovery/ServerFields.h"

#include <QTextDocument>

ServerListModel::ServerListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int ServerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int ServerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kServerFields.size());
}

QVariant ServerListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const ServerField& field = kServerFields[static_cast<std::size_t>(index.column())];
    const QString text = QString::fromStdU16String(RowAt(index.row()).record.*field.member);
    // A tooltip renders markup when the text merely looks like it; cells hold
    // what a server sent, which is shown as written, never as markup.
    if (role == Qt::ToolTipRole && Qt::mightBeRichText(text))
        return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
    return text;
}

QVariant ServerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return {};
    return m_headers[section];
}

void ServerListModel::SetHeaderTexts(const QStringList& texts)
{
    m_headers = texts;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int ServerListModel::Add(std::vector<ServerSighting> batch)
{
    std::vector<Row> added;
    for (ServerSighting& sighting : batch) {
        const int next = Count() + static_cast<int>(added.size());
        if (!m_rowOfIp.emplace(sighting.record.IP, next).second)
            continue;
        added.push_back({std::move(sighting.record), sighting.heardAt, sighting.interfaceIndex, sighting.localAddress});
    }
    if (added.empty())
        return 0;
    beginInsertRows({}, Count(), Count() + static_cast<int>(added.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    endInsertRows();
    return static_cast<int>(added.size());
}

void ServerListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOfIp.clear();
    endResetModel();
}

int ServerListModel::FindRow(const std::u16string& ip) const
{
    const auto it = m_rowOfIp.find(ip);
    return it == m_rowOfIp.end() ? -1 : it->second;
}
