#pragma once

#include "uilib/SkinText.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QPoint;
class QUrl;
class ServerList;
struct ServerRecord;

// What a person can do with the listed servers: the row's context menu
// (Open web page, Copy IP address, Copy MAC address, Copy row, Wake up,
// Export list…), copying the selected rows, waking a server, exporting the
// list. GUI thread only; every outcome is told through Status().
class RowActions final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowActions)

public:
    struct Hooks
    {
        // Opens a server's page and says whether it could. Empty: the
        // desktop's URL opener.
        std::function<bool(const QUrl&)> openUrl;
        // Sends a Wake-on-LAN packet for a server; empty when sent, else why
        // not. Empty: a magic packet from the adapter the server was heard on.
        std::function<QString(const QString& mac, unsigned interfaceIndex, quint32 localAddress)> wake;
        // Asks where to export; empty when the person declined. Empty: a save
        // dialog over the parent window.
        std::function<QString()> chooseExportFile;
        // What the program remembers of the row's server: whether it is
        // watched, to watch it or not, its History…. Without them the menu
        // has no such items.
        std::function<bool(const ServerRecord&)> watched;
        std::function<void(const ServerRecord&, bool watched)> setWatched;
        std::function<void(const ServerRecord&)> history;
        // The window's texts by key.
        TextLookup text;
    };

    // Watches the view of `servers` (attached already) for its context menu
    // and its Copy and menu keys. `parent` is the main window, over which
    // the save dialog opens.
    RowActions(ServerList& servers, Hooks hooks, QObject* parent);
    ~RowActions() override;

    // The menu for the row under `at` (view coordinates), which becomes the
    // current one; `at` outside any row opens nothing.
    void ShowMenuAt(const QPoint& at);
    QMenu* Menu() const { return m_menu.get(); }
    void Retranslate(const TextLookup& lookup);

    // The current row's web page, http://IP:Port, when its texts make an
    // address and a port; else the status line says why not.
    void OpenPage();
    void CopyIp();
    void CopyMac();
    void CopyRow();
    // The selected rows, one per line, fields tab-separated in record order.
    void CopySelectedRows();
    // A magic packet now and another after a second, from the adapter the
    // server was last heard on.
    void WakeUp();
    void ExportList();
    // The page of a server at `ip` and `port` (texts from the network,
    // checked before anything is opened); what fails is told by Status.
    void OpenPageAt(const QString& ip, const QString& port);
    void ToggleWatch();
    void ShowHistory();

    // A row as one line of tab-separated fields, in record order. Tabs and
    // line ends inside a field become blanks: they would split the line.
    static QString RowLine(const ServerList& servers, int row);
    // The list in the form of `path`'s extension: JSON for .json, CSV else.
    static QByteArray ExportText(const ServerList& servers, const QString& path);

signals:
    void Status(const QString& message);

protected:
    // The list's Copy key copies its selected rows, not one cell.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* AddItem(const char* name, const char* key, void (RowActions::*action)());
    int CurrentRow() const;
    QString AskForExportFile() const;
    void Copy(const QString& text, const QString& shown);

    ServerList& m_servers;
    Hooks m_hooks;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_wakeItem = nullptr;   // owned by the menu
    QAction* m_watchItem = nullptr;  // owned by the menu; null without the hooks
};
