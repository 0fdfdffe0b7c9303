#pragma once

#include <QCollator>
#include <QSortFilterProxyModel>

class ServerListModel;

// What the list shows of the servers: sorted by a column (IP and Port as
// numbers, the rest as text in the window's language) or in the order first
// heard, and only the rows with a field that holds the filter text (ignoring
// case). GUI thread only.
class ServerSortFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerSortFilterModel)

public:
    explicit ServerSortFilterModel(ServerListModel& servers, QObject* parent = nullptr);

    // Rows whose fields (any of the nine) contain `text`; empty shows all.
    void SetFilterText(const QString& text);
    QString FilterText() const { return m_filter; }
    // Text compares follow `language` ("en", "zh_cn": pinyin order).
    void SetLanguage(const QString& language);

    // A click on a column's header: ascending, then descending, then back to
    // the order first heard.
    void CycleSort(int column);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    ServerListModel& m_servers;
    QString m_filter;
    QCollator m_collator;
};
