#pragma once

#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <QColor>

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// The servers of the list: one row per IP address, in the order first heard,
// one column per record field (discovery/ServerFields.h). The records are
// the model's own values; a view shows them, no widget stands for a row.
// A row follows its server: a later reply updates it in place, and a row
// whose server has gone silent is drawn dimmed until it answers again.
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
        bool silent = false;             // no reply for a while
    };
    using Clock = std::chrono::steady_clock;

    // The colour of a silent row's text.
    static const QColor kSilentColour;

    explicit ServerListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column titles in field order.
    void SetHeaderTexts(const QStringList& texts);

    // Appends a row for every sighting whose IP (compared as exact text) is
    // not listed yet, in the batch's order, with one insertion for all of
    // them. A sighting of a listed server updates its row in place (same
    // position): fields that changed, when it was heard and where; a Mac
    // that the reply could not learn keeps the one known. Returns how many
    // rows were added.
    int Apply(std::vector<ServerSighting> batch);
    void Clear();

    // Rows last heard before `silentBefore` are silent, the others not.
    void UpdateSilence(Clock::time_point silentBefore);
    // Formats a silent row's tooltip line from the seconds since it was last
    // heard, in the window's language.
    void SetLastHeardText(std::function<QString(qint64 seconds)> text);

    int Count() const { return static_cast<int>(m_rows.size()); }
    // `row` must be below Count().
    const Row& RowAt(int row) const { return m_rows[static_cast<std::size_t>(row)]; }
    // The row showing `ip`, or -1.
    int FindRow(const std::u16string& ip) const;

private:
    void RowsChanged(int first, int last);

    std::vector<Row> m_rows;
    std::unordered_map<std::u16string, int> m_rowOfIp;
    QStringList m_headers;
    std::function<QString(qint64)> m_lastHeardText;
};
