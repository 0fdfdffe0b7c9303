#include "mainwnd/KnownServersDialog.h"

#include "mainwnd/KnownServers.h"
#include "mainwnd/KnownServersModel.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

KnownServersDialog::KnownServersDialog(KnownServers& known, Hooks hooks, QWidget* parent)
    : QDialog(parent)
    , m_known(known)
    , m_hooks(std::move(hooks))
    , m_model(new KnownServersModel(this))
    , m_shown(new QSortFilterProxyModel(this))
    , m_view(new QTableView(this))
    , m_counter(new QLabel(this))
    , m_menu(std::make_unique<QMenu>())
{
    setObjectName(QStringLiteral("KNOWNDIALOG"));
    m_shown->setSourceModel(m_model);
    m_shown->setSortLocaleAware(true);
    m_view->setObjectName(QStringLiteral("KNOWNLIST"));
    m_view->setModel(m_shown);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(-1, Qt::AscendingOrder);  // the book's order until a header is clicked
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, &KnownServersDialog::ShowMenuAt);
    connect(m_view, &QAbstractItemView::activated, this, &KnownServersDialog::OpenPage);
    m_counter->setTextFormat(Qt::PlainText);

    m_open = m_menu->addAction(QString(), this, &KnownServersDialog::OpenPage);
    m_history = m_menu->addAction(QString(), this, &KnownServersDialog::ShowHistory);
    m_menu->addSeparator();
    m_watch = m_menu->addAction(QString(), this, &KnownServersDialog::ToggleWatch);
    m_watch->setCheckable(true);
    m_forget = m_menu->addAction(QString(), this, &KnownServersDialog::Forget);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    layout->addWidget(m_counter);
    resize(760, 420);

    // Events come in bursts (a whole building back after a power cut): one
    // refresh a second at most.
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(1000);
    connect(&m_refresh, &QTimer::timeout, this, &KnownServersDialog::Refresh);
    connect(&m_known, &KnownServers::KnownChanged, this, [this] {
        if (isVisible() && !m_refresh.isActive())
            m_refresh.start();
    });
    // Servers fall quiet without an event (a restart's remembered ones,
    // one between replies): the view looks again every few seconds.
    m_quiet.setInterval(std::chrono::seconds(2));
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (isVisible())
            Refresh();
    });
    m_quiet.start();
}

KnownServersDialog::~KnownServersDialog() = default;

void KnownServersDialog::Retranslate(const TextLookup& text, const QString& language)
{
    m_text = text;
    setWindowTitle(text(QStringLiteral("Known_Title")));
    m_view->setAccessibleName(text(QStringLiteral("KnownList_Name")));
    m_view->setAccessibleDescription(text(QStringLiteral("KnownList_Desc")));
    m_open->setText(text(QStringLiteral("menu_open_page")));
    m_history->setText(text(QStringLiteral("menu_history")));
    m_watch->setText(text(QStringLiteral("menu_watch")));
    m_forget->setText(text(QStringLiteral("menu_forget")));
    m_model->SetText(text, language);
    ShowCount();
}

void KnownServersDialog::Refresh()
{
    const bool first = m_model->Count() == 0;
    m_model->SetServers(m_known.Known(), m_known.Now());
    // Columns as wide as what they hold, once: later a person's widths stay.
    if (first && m_model->Count() > 0)
        m_view->resizeColumnsToContents();
    ShowCount();
}

void KnownServersDialog::ShowCount()
{
    if (m_text)
        m_counter->setText(m_text(QStringLiteral("Known_Count")).arg(m_model->Count()).arg(m_model->AnsweringCount()));
}

const KnownServer* KnownServersDialog::Current() const
{
    const QModelIndex index = m_shown->mapToSource(m_view->currentIndex());
    return index.isValid() ? &m_model->At(index.row()) : nullptr;
}

void KnownServersDialog::ShowMenuAt(const QPoint& at)
{
    const QModelIndex index = m_view->indexAt(at);
    if (!index.isValid())
        return;
    m_view->setCurrentIndex(index);
    const KnownServer* server = Current();
    m_watch->setChecked(server && server->watched);
    m_menu->popup(m_view->viewport()->mapToGlobal(at));
}

void KnownServersDialog::OpenPage()
{
    // A known server's page is where it was last heard, answering or not.
    if (const KnownServer* server = Current(); server && m_hooks.openPage)
        m_hooks.openPage(QString::fromStdString(server->lastAddress), QString::fromStdU16String(server->fields.Port));
}

void KnownServersDialog::ShowHistory()
{
    if (const KnownServer* server = Current(); server && m_hooks.showHistory)
        m_hooks.showHistory(server->id);
}

void KnownServersDialog::ToggleWatch()
{
    if (const KnownServer* server = Current()) {
        const std::string id = server->id;
        m_known.SetWatched(id, !server->watched);
        Refresh();
    }
}

void KnownServersDialog::Forget()
{
    const KnownServer* server = Current();
    if (!server)
        return;
    const std::string id = server->id;
    const QString name = server->fields.Name.empty() ? QString::fromStdString(id)
                                                     : QString::fromStdU16String(server->fields.Name);
    if (m_known.Forget(id)) {
        Refresh();
        if (m_hooks.status && m_text)
            m_hooks.status(m_text(QStringLiteral("Status_Forgot")).arg(name));
    }
}
