#pragma once

#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

// The servers of the list: one row per IP address, in the order first heard,
// one column per record field (discovery/ServerFields.h). The records are
// the model's own values; a view shows them, no widget stands for a row.
// GUI thread only.
class ServerListModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerListModel)

public:
    struct Row
    {
        ServerRecord record;
        std::chrono::steady_clock::time_point lastSeen{};
        unsigned interfaceIndex = 0;     // where its last reply arrived
        std::uint32_t localAddress = 0;  // network byte order
    };

    explicit ServerListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column titles in field order.
    void SetHeaderTexts(const QStringList& texts);

    // Appends a row for every sighting whose IP (compared as exact text) is
    // not listed yet, in the batch's order, with one insertion for all of
    // them; sightings of listed servers change nothing. Returns how many rows
    // were added.
    int Add(std::vector<ServerSighting> batch);
    void Clear();

    int Count() const { return static_cast<int>(m_rows.size()); }
    // `row` must be below Count().
    const Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    // The row showing `ip`, or -1.
    int FindRow(const std::u16string& ip) const;

private:
    std::vector<Row> m_rows;
    std::unordered_map<std::u16string, int> m_rowOfIp;
    QStringList m_headers;
};
