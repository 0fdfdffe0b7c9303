#pragma once

#include "discovery/ServerQueue.h"

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTreeView>

#include <vector>

class QWidget;
class ServerListModel;

// The server list of the main window: the model behind the skin's
// SERVERLIST view, the columns the row template shows, and the status labels
// that describe the list (SERVERNUMLABEL2 counts the rows, EVENT2 and EVENT3
// tell the server found last). GUI thread only.
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
    explicit ServerList(QObject* parent = nullptr);
    ~ServerList() override;

    // Finds the list and its labels below `content` (each may be missing),
    // reads the row template and the skin's column widths.
    void Attach(QWidget* content);

    // Adds a row for every server not listed yet and updates the counter and
    // the event line when one was added.
    void Add(std::vector<ServerSighting> batch);
    // Removes every row and resets the counter and the event line.
    void RemoveAll();
    void SetHeaderTexts(const QStringList& texts);

    // The selected row, or -1.
    int SelectedRow() const;
    ServerListModel& Model() { return *m_model; }
    const ServerListModel& Model() const { return *m_model; }
    QTreeView* View() const { return m_view; }
    // Whether the row template lets rows be added at all.
    bool TakesRows() const { return m_takesRows; }

private:
    void ShowTemplateColumns(const std::vector<int>& fields);

    ServerListModel* m_model;  // child
    QPointer<QTreeView> m_view;
    QPointer<QLabel> m_counter;
    QPointer<QLabel> m_eventShown;
    QPointer<QLabel> m_eventAddress;
    bool m_takesRows = false;
};
