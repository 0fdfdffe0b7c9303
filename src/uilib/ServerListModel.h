#pragma once

#include "uilib/CDuiString.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <set>
#include <vector>

class CListContainerElementUI;

// The rows of a CListUI and what the view sees of them. The row store
// changes at once; the view is told about appended and changed rows in
// batches by a short timer, because a view update per row costs a repaint
// and thousands of rows a second arrive one synchronous message at a time.
// GUI thread only.
class ServerListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kBatchMs = 30;

    explicit ServerListModel(QObject* parent = nullptr);
    ~ServerListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetHeaderKeys(const QStringList& keys);
    void ReloadHeader();

    int Count() const { return static_cast<int>(m_rows.size()); }
    CListContainerElementUI* RowAt(int index) const;
    void Append(std::unique_ptr<CListContainerElementUI> row);
    void Clear();
    void CellChanged(int row, int column, const QString& before, const QString& after);
    int FindRow(const QString& cellName, const QString& text);
    void Flush();

private:
    // Rows by the text of one named cell; rows with that text, ascending.
    using TextIndex = QHash<QString, std::set<int>>;
    TextIndex& IndexFor(const QString& cellName);
    void ScheduleFlush();

    std::vector<std::unique_ptr<CListContainerElementUI>> m_rows;
    QStringList m_headerKeys;
    int m_viewRows = 0;  // rows the view has been told about
    int m_columns = 1;
    int m_dirtyFirst = -1;  // changed rows the view still shows old
    int m_dirtyLast = -1;
    QHash<QString, TextIndex> m_indexes;  // by cell name, built on first query
    QTimer m_flush;
};
