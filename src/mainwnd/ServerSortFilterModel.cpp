#include "mainwnd/ServerSortFilterModel.h"

#include "discovery/ServerFields.h"
#include "mainwnd/ServerListModel.h"

#include <QLocale>

#include <optional>

namespace {

// A dotted IPv4 address as a number, or nothing for any other text (a sender
// that a spoofer wrote with a blank, say), which sorts after the addresses.
std::optional<quint32> AddressNumber(const std::u16string& text)
{
    quint32 value = 0;
    int parts = 0, digits = 0, part = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char16_t c = i < text.size() ? text[i] : u'.';
        if (c >= u'0' && c <= u'9') {
            part = part * 10 + (c - u'0');
            if (++digits > 3 || part > 255)
                return std::nullopt;
        } else if (c == u'.' && digits > 0 && parts < 4) {
            value = (value << 8) | static_cast<quint32>(part);
            ++parts;
            digits = part = 0;
        } else {
            return std::nullopt;
        }
    }
    return parts == 4 ? std::optional<quint32>(value) : std::nullopt;
}

// A port as a number, or nothing (empty, not decimal), sorting after them.
std::optional<quint32> PortNumber(const std::u16string& text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    quint32 value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<quint32>(c - u'0');
    }
    return value;
}

// -1, 0 or 1; numbers before texts that are none, texts among themselves.
template <typename Number>
int CompareNumbers(const std::optional<Number>& a, const std::optional<Number>& b)
{
    if (a && b)
        return *a < *b ? -1 : (*b < *a ? 1 : 0);
    return a ? -1 : (b ? 1 : 0);
}

}  // namespace

ServerSortFilterModel::ServerSortFilterModel(ServerListModel& servers, QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_servers(servers)
{
    setSourceModel(&servers);
    setDynamicSortFilter(true);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

void ServerSortFilterModel::SetFilterText(const QString& text)
{
    if (text == m_filter)
        return;
    m_filter = text;
    invalidateRowsFilter();
}

void ServerSortFilterModel::SetLanguage(const QString& language)
{
    m_collator.setLocale(language == u"en" ? QLocale(QLocale::English) : QLocale(QLocale::Chinese));
    if (sortColumn() >= 0)
        invalidate();
}

void ServerSortFilterModel::CycleSort(int column)
{
    if (column != sortColumn())
        sort(column, Qt::AscendingOrder);
    else if (sortOrder() == Qt::AscendingOrder)
        sort(column, Qt::DescendingOrder);
    else
        sort(-1);  // the order first heard
}

bool ServerSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (m_filter.isEmpty())
        return true;
    const ServerRecord& record = m_servers.RowAt(sourceRow).record;
    for (const ServerField& field : kServerFields) {
        const std::u16string& text = record.*field.member;
        if (QStringView(text).contains(m_filter, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool ServerSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const ServerRecord& a = m_servers.RowAt(left.row()).record;
    const ServerRecord& b = m_servers.RowAt(right.row()).record;
    const auto column = static_cast<ServerColumn>(left.column());
    int order = 0;
    if (column == ServerColumn::IP)
        order = CompareNumbers(AddressNumber(a.IP), AddressNumber(b.IP));
    else if (column == ServerColumn::Port)
        order = CompareNumbers(PortNumber(a.Port), PortNumber(b.Port));
    const std::u16string& textA = a.*kServerFields[static_cast<std::size_t>(left.column())].member;
    const std::u16string& textB = b.*kServerFields[static_cast<std::size_t>(left.column())].member;
    if (order == 0)
        order = m_collator.compare(QStringView(textA), QStringView(textB));
    // Equal keys keep the order first heard.
    return order != 0 ? order < 0 : left.row() < right.row();
}
