#include "mainwnd/KnownServersModel.h"

#include "mainwnd/ServerListModel.h"

#include <QDateTime>
#include <QLocale>
#include <QTextDocument>

#include <algorithm>

namespace {

const char* const kHeaderKeys[KnownServersModel::kColumnCount] = {
    "known_Name", "known_Address", "known_Version", "known_Id", "known_Watched", "known_Seen"};

}  // namespace

KnownServersModel::KnownServersModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int KnownServersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int KnownServersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString KnownServersModel::SeenText(const KnownServer& server) const
{
    if (!m_text)
        return {};
    const QString address = QString::fromStdString(server.lastAddress);
    if (Answering(server))
        return m_text(QStringLiteral("Known_Answering")).arg(address);
    const QLocale locale(m_language == QStringLiteral("en") ? QLocale::English : QLocale::Chinese);
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(server.lastSeen.time_since_epoch()).count());
    return m_text(QStringLiteral("Known_LastSeen")).arg(locale.toString(when, QLocale::ShortFormat), address);
}

QVariant KnownServersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const KnownServer& s = At(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kName: return QString::fromStdU16String(s.fields.Name);
        case kAddress: return QString::fromStdString(s.lastAddress);
        case kVersion: return QString::fromStdU16String(s.fields.Version);
        case kIdentity: return QString::fromStdString(s.id);
        case kSeen: return SeenText(s);
        case kWatched: return s.watched && m_text ? m_text(QStringLiteral("known_Watched")) : QString();
        }
        return {};
    case Qt::ForegroundRole: return Answering(s) ? QVariant() : QVariant(ServerListModel::kSilentColour);
    // A plain-text tooltip: server texts are never read as markup.
    case Qt::ToolTipRole: return Qt::convertFromPlainText(SeenText(s), Qt::WhiteSpaceNoWrap);
    default: return {};
    }
}

QVariant KnownServersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount || !m_text)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_text(QString::fromLatin1(kHeaderKeys[section]));
}

bool KnownServersModel::Answering(const KnownServer& server) const
{
    return server.answering && m_now - server.lastSeen <= kQuietAfter;
}

void KnownServersModel::SetServers(std::vector<KnownServer> servers, std::chrono::system_clock::time_point now)
{
    const bool timeMoved = now != m_now;
    m_now = now;
    const bool sameRows = servers.size() == m_servers.size() &&
                          std::equal(servers.begin(), servers.end(), m_servers.begin(),
                                     [](const KnownServer& a, const KnownServer& b) { return a.id == b.id; });
    if (!sameRows) {
        beginResetModel();
        m_servers = std::move(servers);
        endResetModel();
        return;
    }
    for (std::size_t i = 0; i < servers.size(); ++i) {
        if (servers[i] == m_servers[i] && !timeMoved)
            continue;
        m_servers[i] = std::move(servers[i]);
        const int row = static_cast<int>(i);
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    }
}

void KnownServersModel::SetText(TextLookup text, const QString& language)
{
    m_text = std::move(text);
    m_language = language;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    if (Count() > 0)
        emit dataChanged(index(0, 0), index(Count() - 1, kColumnCount - 1));
}

int KnownServersModel::AnsweringCount() const
{
    return static_cast<int>(std::count_if(m_servers.begin(), m_servers.end(), [this](const KnownServer& s) { return Answering(s); }));
}
