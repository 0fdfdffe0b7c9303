#include "mainwnd/ServerListModel.h"

#include "discovery/ServerFields.h"

#include <QTextDocument>

const QColor ServerListModel::kSilentColour(0x8A, 0x94, 0xA3);

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
    const Row& row = RowAt(index.row());
    if (role == Qt::ForegroundRole)
        return row.silent ? QVariant(kSilentColour) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const ServerField& field = kServerFields[static_cast<std::size_t>(index.column())];
    const QString text = QString::fromStdU16String(row.record.*field.member);
    if (role == Qt::DisplayRole)
        return text;
    const qint64 silentFor = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - row.lastSeen).count();
    const QString lastHeard = row.silent && m_lastHeardText ? m_lastHeardText(silentFor) : QString();
    if (role == Qt::AccessibleTextRole) {
        // What a screen reader says of the cell: its column, its text, and
        // that the server has gone silent.
        const QString header = m_headers.value(index.column());
        const QString spoken = header.isEmpty() ? text : header.trimmed() + QStringLiteral(": ") + text;
        return lastHeard.isEmpty() ? spoken : spoken + QStringLiteral(" (") + lastHeard + u')';
    }
    // A tooltip renders markup when the text merely looks like it; cells hold
    // what a server sent, which is shown as written, never as markup.
    if (Qt::mightBeRichText(text) || Qt::mightBeRichText(lastHeard)) {
        const QString plain = lastHeard.isEmpty() ? text : text + u'\n' + lastHeard;
        return Qt::convertFromPlainText(plain, Qt::WhiteSpaceNoWrap);
    }
    return lastHeard.isEmpty() ? text : text + u'\n' + lastHeard;
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

int ServerListModel::Apply(std::vector<ServerSighting> batch)
{
    std::vector<Row> added;
    int firstChanged = -1, lastChanged = -1;
    for (ServerSighting& sighting : batch) {
        const int next = Count() + static_cast<int>(added.size());
        const auto [it, isNew] = m_rowOfIp.emplace(sighting.record.IP, next);
        if (isNew) {
            added.push_back(
                {std::move(sighting.record), sighting.heardAt, sighting.interfaceIndex, sighting.localAddress, false});
            continue;
        }
        if (it->second >= Count()) {
            // Heard twice in one batch before its row exists.
            Row& pending = added[static_cast<std::size_t>(it->second - Count())];
            if (sighting.record.Mac.empty())
                sighting.record.Mac = pending.record.Mac;
            pending = {std::move(sighting.record), sighting.heardAt, sighting.interfaceIndex, sighting.localAddress,
                       false};
            continue;
        }
        Row& row = m_rows[static_cast<std::size_t>(it->second)];
        // A reply whose sender's hardware address could not be learnt says
        // nothing about a new one: the one known stays.
        if (sighting.record.Mac.empty())
            sighting.record.Mac = row.record.Mac;
        const bool changed = row.silent || sighting.record != row.record;
        row.record = std::move(sighting.record);
        row.lastSeen = std::max(row.lastSeen, sighting.heardAt);
        row.interfaceIndex = sighting.interfaceIndex;
        row.localAddress = sighting.localAddress;
        row.silent = false;
        if (changed) {
            firstChanged = firstChanged < 0 ? it->second : std::min(firstChanged, it->second);
            lastChanged = std::max(lastChanged, it->second);
        }
    }
    if (firstChanged >= 0)
        RowsChanged(firstChanged, lastChanged);
    if (added.empty())
        return 0;
    beginInsertRows({}, Count(), Count() + static_cast<int>(added.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    endInsertRows();
    return static_cast<int>(added.size());
}

void ServerListModel::UpdateSilence(Clock::time_point silentBefore)
{
    int first = -1, last = -1;
    for (int i = 0; i < Count(); ++i) {
        Row& row = m_rows[static_cast<std::size_t>(i)];
        const bool silent = row.lastSeen < silentBefore;
        if (silent == row.silent)
            continue;
        row.silent = silent;
        first = first < 0 ? i : first;
        last = i;
    }
    if (first >= 0)
        RowsChanged(first, last);
}

void ServerListModel::SetLastHeardText(std::function<QString(qint64 seconds)> text)
{
    m_lastHeardText = std::move(text);
}

void ServerListModel::RowsChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, columnCount() - 1));
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
