#pragma once

#include "uilib/SkinText.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class KnownServers;
class KnownServersModel;
class QAction;
class QLabel;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
struct KnownServer;

// "Known servers…": every server the book knows, answering or not, beside
// the main list (which shows this search's replies). A row's menu opens its
// page at its last address, shows its History…, watches or forgets it. It
// follows the book as events come, at most once a second. GUI thread only.
class KnownServersDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KnownServersDialog)

public:
    struct Hooks
    {
        // Opens a server's page at `address` and its web port.
        std::function<void(const QString& address, const QString& port)> openPage;
        // Shows what happened to the server (a History dialog).
        std::function<void(const std::string& id)> showHistory;
        // Tells a message in the window's status line.
        std::function<void(const QString& message)> status;
    };

    // `known` must outlive this dialog.
    KnownServersDialog(KnownServers& known, Hooks hooks, QWidget* parent = nullptr);
    ~KnownServersDialog() override;

    void Retranslate(const TextLookup& text, const QString& language);
    // Takes the book's servers now.
    void Refresh();

    KnownServersModel& Model() const { return *m_model; }
    QTableView* View() const { return m_view; }
    QMenu* Menu() const { return m_menu.get(); }
    QLabel* Counter() const { return m_counter; }
    // The server of the view's current row, or null.
    const KnownServer* Current() const;

    void OpenPage();
    void ShowHistory();
    void ToggleWatch();
    void Forget();

private:
    void ShowMenuAt(const QPoint& at);
    void ShowCount();

    KnownServers& m_known;
    Hooks m_hooks;
    TextLookup m_text;
    KnownServersModel* m_model;      // child
    QSortFilterProxyModel* m_shown;  // child
    QTableView* m_view;              // child
    QLabel* m_counter;               // child
    std::unique_ptr<QMenu> m_menu;
    QAction* m_open = nullptr;     // owned by the menu
    QAction* m_history = nullptr;  // owned by the menu
    QAction* m_watch = nullptr;    // owned by the menu
    QAction* m_forget = nullptr;   // owned by the menu
    QTimer m_refresh;
    QTimer m_quiet;
};
