#include "mainwnd/RowActions.h"

#include "actions/ServerExport.h"
#include "actions/WakeOnLan.h"
#include "discovery/ServerFields.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/ServerPageAddress.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QTimer>
#include <QTableView>
#include <QUrl>

#include <cstring>
#include <string>

namespace {

QString Field(const ServerRecord& record, ServerColumn column)
{
    return QString::fromStdU16String(record.*kServerFields[static_cast<std::size_t>(column)].member);
}

// Broadcasts a magic packet from the adapter a server was last heard on.
QString WakeThroughAdapter(const QString& mac, unsigned interfaceIndex, quint32 localAddress)
{
    WakeVia via;
    via.interfaceIndex = interfaceIndex;
    if (localAddress != 0) {
        // Network byte order: the first byte in memory is the first number.
        unsigned char bytes[4];
        std::memcpy(bytes, &localAddress, sizeof bytes);
        via.localAddress = std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) +
                           '.' + std::to_string(bytes[3]);
    }
    const WakeResult result = SendWakeOnLan(mac.toStdString(), via);
    return result.sent ? QString() : QString::fromStdString(result.error);
}

}  // namespace

RowActions::RowActions(ServerList& servers, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_servers(servers)
    , m_hooks(std::move(hooks))
{
    if (!m_hooks.openUrl)
        m_hooks.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_hooks.wake)
        m_hooks.wake = WakeThroughAdapter;
    if (!m_hooks.chooseExportFile)
        m_hooks.chooseExportFile = [this] { return AskForExportFile(); };
    m_menu = LoadSkinMenu(ResolveResourcePath(QStringLiteral("menu.xml")));
    if (!m_menu)
        m_menu = std::make_unique<QMenu>();
    // The skin's own items belong to the tray and language menus.
    m_menu->clear();
    AddItem("ROW_OPEN", "menu_open_page", &RowActions::OpenPage);
    m_menu->addSeparator();
    AddItem("ROW_COPY_IP", "menu_copy_ip", &RowActions::CopyIp);
    AddItem("ROW_COPY_MAC", "menu_copy_mac", &RowActions::CopyMac);
    AddItem("ROW_COPY_ROW", "menu_copy_row", &RowActions::CopyRow);
    m_menu->addSeparator();
    m_wakeItem = AddItem("ROW_WAKE", "menu_wake", &RowActions::WakeUp);
    AddItem("ROW_EXPORT", "menu_export", &RowActions::ExportList);
    if (m_hooks.history || m_hooks.setWatched) {
        m_menu->addSeparator();
        m_watchItem = AddItem("ROW_WATCH", "menu_watch", &RowActions::ToggleWatch);
        m_watchItem->setCheckable(true);
        AddItem("ROW_HISTORY", "menu_history", &RowActions::ShowHistory);
    }

    QTableView* view = m_servers.View();
    if (!view)
        return;
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QTableView::customContextMenuRequested, this, [this, view](const QPoint& at) {
        // From the keyboard (the menu key) the point is nowhere near a row:
        // the menu is for the current one.
        const QModelIndex current = view->currentIndex();
        const bool onRow = view->indexAt(at).isValid();
        ShowMenuAt(onRow || !current.isValid() ? at : view->visualRect(current).center());
    });
    // The list's Copy key copies its selected rows.
    view->installEventFilter(this);
}

RowActions::~RowActions() = default;

QAction* RowActions::AddItem(const char* name, const char* key, void (RowActions::*action)())
{
    auto* item = new QAction(m_menu.get());
    item->setObjectName(QString::fromLatin1(name));
    SetTextKey(item, QString::fromLatin1(key));
    m_menu->addAction(item);
    connect(item, &QAction::triggered, this, action);
    return item;
}

void RowActions::Retranslate(const TextLookup& lookup)
{
    TranslateSkin(m_menu.get(), lookup);
}

int RowActions::CurrentRow() const
{
    return m_servers.SelectedRow();
}

void RowActions::ShowMenuAt(const QPoint& at)
{
    QTableView* view = m_servers.View();
    if (!view)
        return;
    const QModelIndex index = view->indexAt(at);
    if (!index.isValid())
        return;
    // The row the menu is for is the one its items act on.
    if (!view->selectionModel()->isRowSelected(index.row(), index.parent()))
        view->setCurrentIndex(index);
    const int row = CurrentRow();
    m_wakeItem->setEnabled(row >= 0 && !m_servers.Model().RowAt(row).record.Mac.empty());
    if (m_watchItem)
        m_watchItem->setChecked(row >= 0 && m_hooks.watched && m_hooks.watched(m_servers.Model().RowAt(row).record));
    m_menu->popup(view->viewport()->mapToGlobal(at));
}

void RowActions::OpenPage()
{
    const int row = CurrentRow();
    if (row < 0 || row >= m_servers.Model().Count())
        return;
    const ServerRecord& record = m_servers.Model().RowAt(row).record;
    OpenPageAt(QString::fromStdU16String(record.IP), QString::fromStdU16String(record.Port));
}

void RowActions::OpenPageAt(const QString& ip, const QString& port)
{
    // The texts came from the network: no page for anything but an address
    // and a port (see ServerPageAddress).
    const std::optional<QString> address = ServerPageAddress(ip, port);
    const QString failed = m_hooks.text(QStringLiteral("Status_PageFailed"));
    if (!address)
        emit Status(failed.arg(
            ip, m_hooks.text(QStringLiteral("Reason_BadAddress")).arg(QStringLiteral("http://") + ip + u':' + port)));
    else if (!m_hooks.openUrl(QUrl(*address, QUrl::StrictMode)))
        emit Status(failed.arg(ip, m_hooks.text(QStringLiteral("Reason_NoBrowser"))));
}

void RowActions::Copy(const QString& text, const QString& shown)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
    emit Status(m_hooks.text(QStringLiteral("Status_Copied")).arg(shown));
}

void RowActions::CopyIp()
{
    if (const int row = CurrentRow(); row >= 0) {
        const QString ip = Field(m_servers.Model().RowAt(row).record, ServerColumn::IP);
        Copy(ip, ip);
    }
}

void RowActions::CopyMac()
{
    const int row = CurrentRow();
    if (row < 0)
        return;
    const QString mac = Field(m_servers.Model().RowAt(row).record, ServerColumn::Mac);
    if (!mac.isEmpty())
        Copy(mac, mac);
}

void RowActions::CopyRow()
{
    if (const int row = CurrentRow(); row >= 0)
        Copy(RowLine(m_servers, row), Field(m_servers.Model().RowAt(row).record, ServerColumn::IP));
}

void RowActions::CopySelectedRows()
{
    const std::vector<int> rows = m_servers.SelectedRows();
    if (rows.empty())
        return;
    QString text;
    for (const int row : rows)
        text += RowLine(m_servers, row) + u'\n';
    Copy(text, rows.size() == 1 ? Field(m_servers.Model().RowAt(rows.front()).record, ServerColumn::IP)
                                : QString::number(rows.size()));
}

bool RowActions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_servers.View() || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // The menu key and Shift+F10 open the current row's menu, wherever the
    // platform would (or would not) turn them into a context menu event.
    const bool menuKey =
        key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
    if (menuKey && event->type() == QEvent::KeyPress) {
        QTableView* view = m_servers.View();
        const QModelIndex current = view->currentIndex();
        if (current.isValid())
            ShowMenuAt(view->visualRect(current).center());
        return true;
    }
    if (!key->matches(QKeySequence::Copy))
        return false;
    event->accept();
    if (event->type() == QEvent::KeyPress)
        CopySelectedRows();
    return event->type() == QEvent::KeyPress;
}

QString RowActions::RowLine(const ServerList& servers, int row)
{
    const ServerRecord& record = servers.Model().RowAt(row).record;
    QStringList fields;
    for (const ServerField& field : kServerFields) {
        QString text = QString::fromStdU16String(record.*field.member);
        for (QChar& c : text) {
            if (c == u'\t' || c == u'\n' || c == u'\r')
                c = u' ';
        }
        fields.append(text);
    }
    return fields.join(u'\t');
}

void RowActions::WakeUp()
{
    const int row = CurrentRow();
    if (row < 0)
        return;
    const ServerListModel::Row& server = m_servers.Model().RowAt(row);
    const QString mac = QString::fromStdU16String(server.record.Mac);
    if (mac.isEmpty())
        return;
    const unsigned index = server.interfaceIndex;
    const quint32 local = server.localAddress;
    const QString error = m_hooks.wake(mac, index, local);
    if (!error.isEmpty()) {
        emit Status(m_hooks.text(QStringLiteral("Status_WakeFailed")).arg(mac, error));
        return;
    }
    emit Status(m_hooks.text(QStringLiteral("Status_WakeSent")).arg(mac));
    // A sleeping network card may miss one packet; a second follows.
    QTimer::singleShot(1000, this, [this, mac, index, local] { m_hooks.wake(mac, index, local); });
}

QByteArray RowActions::ExportText(const ServerList& servers, const QString& path)
{
    std::vector<ServerRecord> records;
    for (const int row : servers.ShownRows())
        records.push_back(servers.Model().RowAt(row).record);
    const bool json = QFileInfo(path).suffix().compare(u"json", Qt::CaseInsensitive) == 0;
    const std::string text = json ? FormatJson(records) : FormatCsv(records);
    return QByteArray::fromStdString(text);
}

QString RowActions::AskForExportFile() const
{
    return QFileDialog::getSaveFileName(qobject_cast<QWidget*>(parent()), m_hooks.text(QStringLiteral("Export_Title")),
                                        QDir::home().filePath(QStringLiteral("vindrel-servers.csv")),
                                        QStringLiteral("CSV (*.csv);;JSON (*.json)"));
}

void RowActions::ExportList()
{
    const QString path = m_hooks.chooseExportFile();
    if (path.isEmpty())
        return;
    // Written beside and renamed into place: a failed export never leaves
    // half a file where an older one was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ExportText(m_servers, path)) < 0 || !file.commit()) {
        emit Status(m_hooks.text(QStringLiteral("Status_ExportFailed")).arg(path, file.errorString()));
        return;
    }
    emit Status(m_hooks.text(QStringLiteral("Status_Exported")).arg(m_servers.ShownCount()).arg(path));
}

void RowActions::ToggleWatch()
{
    const int row = CurrentRow();
    if (row < 0 || !m_hooks.setWatched)
        return;
    const ServerRecord& record = m_servers.Model().RowAt(row).record;
    m_hooks.setWatched(record, !(m_hooks.watched && m_hooks.watched(record)));
}

void RowActions::ShowHistory()
{
    const int row = CurrentRow();
    if (row >= 0 && m_hooks.history)
        m_hooks.history(m_servers.Model().RowAt(row).record);
}
