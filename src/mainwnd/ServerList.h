#pragma once

#include "discovery/ServerQueue.h"
#include "uilib/SkinText.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <chrono>
#include <vector>

class QWidget;
class ServerFeed;
class ServerListModel;
class ServerSortFilterModel;

// The server list of the main window: the model behind the skin's
// SERVERLIST view (through a sort and filter proxy), the columns the row
// template shows, and the status labels that describe the list
// (SERVERNUMLABEL2 counts the rows, EVENT2 and EVENT3 tell the server found
// last, SHOWNLABEL how many a filter lets through). It takes its rows from a
// ServerFeed it follows. GUI thread only.
//
// The row template "listitem.xml" names which fields a row shows, in which
// order: its labels, in document order (NAMELABEL … UPTIMEABEL). A template
// without IPLABEL, or none at all, adds no rows: without the address a row
// could never be recognised again, and every reply would add another.
class ServerList final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ServerList)

public:
    // A row whose server has not answered for this long is drawn dimmed:
    // ten probe rounds.
    static constexpr std::chrono::seconds kSilence{5};

    explicit ServerList(QObject* parent = nullptr);
    ~ServerList() override;

    // Finds the list and its labels below `content` (each may be missing),
    // reads the row template and the skin's column widths.
    void Attach(QWidget* content);
    // Takes the feed's batches as rows and dims the rows of servers that
    // fall silent while it searches. `feed` must outlive this object.
    void Follow(const ServerFeed& feed);

    // Adds a row for every server not listed yet (and then updates the
    // counter and the event line) and updates the rows of listed ones.
    void Add(std::vector<ServerSighting> batch);
    // Removes every row and resets the counter and the event line.
    void RemoveAll();
    // Column titles, tooltips and SHOWNLABEL from `text` (kept: it must
    // follow the window's language), sorting by `language`'s rules.
    void Retranslate(TextLookup text, const QString& language);
    void SetFilterText(const QString& text);

    // Rows of the model (not of the view): the current one (-1 for none) and
    // the selected ones in the order the view shows them.
    int SelectedRow() const;
    std::vector<int> SelectedRows() const;
    // The model's rows in the order the view shows them, filter applied.
    std::vector<int> ShownRows() const;
    int ShownCount() const;

    ServerListModel& Model() { return *m_model; }
    const ServerListModel& Model() const { return *m_model; }
    ServerSortFilterModel& Shown() { return *m_shown; }
    QTableView* View() const { return m_view; }
    // Whether the row template lets rows be added at all.
    bool TakesRows() const { return m_takesRows; }

signals:
    // The rows shown or listed changed in number (a filter, a new server).
    void CountsChanged();

private:
    void ShowTemplateColumns(const std::vector<int>& fields);
    void OnHeaderClicked(int column);
    void OnSearchStateSet(bool searching);
    void MarkSilentRows();
    void ShowShownCount();

    ServerListModel* m_model;        // child
    ServerSortFilterModel* m_shown;  // child
    QPointer<QTableView> m_view;
    QPointer<QLabel> m_counter;
    QPointer<QLabel> m_eventShown;
    QPointer<QLabel> m_eventAddress;
    QPointer<QLabel> m_shownCount;
    TextLookup m_text;
    const ServerFeed* m_feed = nullptr;  // followed, not owned
    QTimer m_silenceCheck;
    bool m_takesRows = false;
};
