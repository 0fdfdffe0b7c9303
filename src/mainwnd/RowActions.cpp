#include "mainwnd/RowActions.h"

#include "actions/ServerExport.h"
#include "discovery/ServerFields.h"
#include "mainwnd/ServerList.h"
#include "mainwnd/ServerListModel.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSaveFile>
#include <QTimer>
#include <QTreeView>

namespace {

QString Field(const ServerRecord& record, ServerColumn column)
{
    return QString::fromStdU16String(record.*kServerFields[static_cast<std::size_t>(column)].member);
}

}  // namespace

RowActions::RowActions(ServerList& servers, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_servers(servers)
    , m_hooks(std::move(hooks))
{
    m_menu = LoadSkinMenu(ResolveResourcePath(QStringLiteral("menu.xml")));
    if (!m_menu)
        m_menu = std::make_unique<QMenu>();
    // The skin's own items belong to the tray and language menus.
    m_menu->clear();
    AddItem("ROW_OPEN", "menu_open_page", nullptr);
    m_menu->addSeparator();
    AddItem("ROW_COPY_IP", "menu_copy_ip", &RowActions::CopyIp);
    AddItem("ROW_COPY_MAC", "menu_copy_mac", &RowActions::CopyMac);
    AddItem("ROW_COPY_ROW", "menu_copy_row", &RowActions::CopyRow);
    m_menu->addSeparator();
    m_wakeItem = AddItem("ROW_WAKE", "menu_wake", &RowActions::WakeUp);
    AddItem("ROW_EXPORT", "menu_export", &RowActions::ExportList);
}

RowActions::~RowActions() = default;

QAction* RowActions::AddItem(const char* name, const char* key, void (RowActions::*action)())
{
    auto* item = new QAction(m_menu.get());
    item->setObjectName(QString::fromLatin1(name));
    SetTextKey(item, QString::fromLatin1(key));
    m_menu->addAction(item);
    if (action)
        connect(item, &QAction::triggered, this, action);
    else
        connect(item, &QAction::triggered, this, [this] { m_hooks.openPage(); });
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
    QTreeView* view = m_servers.View();
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
    m_menu->popup(view->viewport()->mapToGlobal(at));
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
        QTreeView* view = m_servers.View();
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
