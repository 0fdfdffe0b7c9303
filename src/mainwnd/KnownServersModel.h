#pragma once

#include "book/KnownServer.h"
#include "uilib/SkinText.h"

#include <QAbstractTableModel>
#include <QString>

#include <chrono>

#include <vector>

// The rows of the Known servers view: every server the book knows, by
// identity, ordered as the book gives them (by identity) until a header
// sorts them. A server not answering now is drawn dimmed and says when and
// where it was last seen. GUI thread only.
class KnownServersModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KnownServersModel)

public:
    enum Column { kName, kAddress, kVersion, kIdentity, kWatched, kSeen, kColumnCount };

    explicit KnownServersModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A server not heard for this long is drawn as not answering, even
    // while the tracker still waits out its silent threshold (after a
    // restart, a server remembered as answering has not said so yet).
    static constexpr std::chrono::seconds kQuietAfter{5};

    // Replaces the rows as of `now`; rows of servers still there are
    // updated in place when the set of servers is the same, so a selection
    // survives a reply.
    void SetServers(std::vector<KnownServer> servers,
                    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());
    // The window's texts; `language` picks how times are written.
    void SetText(TextLookup text, const QString& language);

    int Count() const { return static_cast<int>(m_servers.size()); }
    int AnsweringCount() const;
    // Answering now: heard within kQuietAfter and not silent.
    bool Answering(const KnownServer& server) const;
    // `row` must be below Count().
    const KnownServer& At(int row) const { return m_servers[static_cast<std::size_t>(row)]; }
    // "answering now at 10.0.0.20", "last seen 11/12/2026 16:22 at 10.0.0.20".
    QString SeenText(const KnownServer& server) const;

private:
    std::vector<KnownServer> m_servers;
    TextLookup m_text;
    QString m_language;
    std::chrono::system_clock::time_point m_now{};
};
