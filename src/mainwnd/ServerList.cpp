#include "mainwnd/ServerList.h"

#include "discovery/ServerFields.h"
#include "mainwnd/ServerFeed.h"
#include "mainwnd/ServerListModel.h"
#include "mainwnd/ServerSortFilterModel.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>

#include <algorithm>

namespace {

// The fields a row template shows, by its labels in document order.
std::vector<int> TemplateFields(const QWidget& row)
{
    std::vector<int> fields;
    // findChildren walks depth first in creation order: the document order.
    const auto labels = row.findChildren<QLabel*>();
    for (const QLabel* label : labels) {
        const auto it = std::find_if(kServerFields.begin(), kServerFields.end(), [&](const ServerField& f) {
            return QStringView(f.rowLabel) == label->objectName();
        });
        const int field = static_cast<int>(it - kServerFields.begin());
        if (it != kServerFields.end() && std::find(fields.begin(), fields.end(), field) == fields.end())
            fields.push_back(field);
    }
    return fields;
}

}  // namespace

ServerList::ServerList(QObject* parent)
    : QObject(parent)
    , m_model(new ServerListModel(this))
    , m_shown(new ServerSortFilterModel(*m_model, this))
{
    connect(m_shown, &QAbstractItemModel::rowsInserted, this, &ServerList::CountsChanged);
    connect(m_shown, &QAbstractItemModel::rowsRemoved, this, &ServerList::CountsChanged);
    connect(m_shown, &QAbstractItemModel::modelReset, this, &ServerList::CountsChanged);
    connect(m_shown, &QAbstractItemModel::layoutChanged, this, &ServerList::CountsChanged);
    connect(this, &ServerList::CountsChanged, this, &ServerList::ShowShownCount);
    m_silenceCheck.setInterval(1000);
    connect(&m_silenceCheck, &QTimer::timeout, this, &ServerList::MarkSilentRows);
}

ServerList::~ServerList() = default;

void ServerList::Attach(QWidget* content)
{
    m_view = content->findChild<QTableView*>(QStringLiteral("SERVERLIST"));
    m_counter = content->findChild<QLabel*>(QStringLiteral("SERVERNUMLABEL2"));
    m_eventShown = content->findChild<QLabel*>(QStringLiteral("EVENT2"));
    m_eventAddress = content->findChild<QLabel*>(QStringLiteral("EVENT3"));
    m_shownCount = content->findChild<QLabel*>(QStringLiteral("SHOWNLABEL"));

    std::vector<int> fields;
    if (const std::unique_ptr<QWidget> row = LoadSkinOrReport(ResolveResourcePath(QStringLiteral("listitem.xml"))))
        fields = TemplateFields(*row);
    const int ipField = static_cast<int>(ServerColumn::IP);
    m_takesRows = m_view && std::find(fields.begin(), fields.end(), ipField) != fields.end();
    if (!m_view)
        return;
    // A table view, so that screen readers announce a table with its column
    // headers and say "row 3 of 6"; dressed as a plain list of rows.
    m_view->setModel(m_shown);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setShowGrid(false);
    m_view->setWordWrap(false);
    m_view->setCornerButtonEnabled(false);
    m_view->setTabKeyNavigation(false);  // Tab leaves the list; arrows move in it
    QHeaderView* rows = m_view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);  // keeps thousands of rows cheap to lay out
    rows->setDefaultSectionSize(30);
    ShowTemplateColumns(fields);
    QHeaderView* header = m_view->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, &ServerList::OnHeaderClicked);
}

void ServerList::Follow(const ServerFeed& feed)
{
    m_feed = &feed;
    connect(&feed, &ServerFeed::SightingsArrived, this, &ServerList::Add);
    connect(&feed, &ServerFeed::SearchStateSet, this, &ServerList::OnSearchStateSet);
    OnSearchStateSet(!feed.IsPaused());
}

void ServerList::OnSearchStateSet(bool searching)
{
    // While stopped no reply can come, so nothing dims.
    if (searching)
        m_silenceCheck.start();
    else
        m_silenceCheck.stop();
}

void ServerList::MarkSilentRows()
{
    // A server gets ten probe rounds from the start of the search before its
    // row dims, however long the search was stopped.
    const auto now = std::chrono::steady_clock::now();
    if (!m_feed || now - m_feed->SearchStarted() < kSilence)
        return;
    m_model->UpdateSilence(now - kSilence);
}

void ServerList::OnHeaderClicked(int column)
{
    m_shown->CycleSort(column);
    QHeaderView* header = m_view->horizontalHeader();
    header->setSortIndicatorShown(m_shown->sortColumn() >= 0);
    if (m_shown->sortColumn() >= 0)
        header->setSortIndicator(m_shown->sortColumn(), m_shown->sortOrder());
}

// Column i of the view is the template's i-th label; fields it lacks are not
// shown. The skin's `columnWidths` (pixels, ";"-separated) size the shown
// columns in that order; the last one stretches.
void ServerList::ShowTemplateColumns(const std::vector<int>& fields)
{
    QHeaderView* header = m_view->horizontalHeader();
    for (int field = 0; field < m_model->columnCount(); ++field)
        header->setSectionHidden(field, std::find(fields.begin(), fields.end(), field) == fields.end());
    for (std::size_t visual = 0; visual < fields.size(); ++visual)
        header->moveSection(header->visualIndex(fields[visual]), static_cast<int>(visual));
    const QStringList widths = m_view->property("columnWidths").toString().split(u';', Qt::SkipEmptyParts);
    for (int i = 0; i < widths.size() && i < static_cast<int>(fields.size()); ++i) {
        bool ok = false;
        const int width = widths[i].trimmed().toInt(&ok);
        if (ok && width > 0)
            header->resizeSection(fields[static_cast<std::size_t>(i)], width);
    }
}

void ServerList::Add(std::vector<ServerSighting> batch)
{
    if (!m_takesRows || batch.empty())
        return;
    if (m_model->Apply(std::move(batch)) == 0)
        return;
    if (m_eventShown)
        m_eventShown->setVisible(true);
    if (m_eventAddress)
        m_eventAddress->setText(QString::fromStdU16String(m_model->RowAt(m_model->Count() - 1).record.IP));
    if (m_counter)
        m_counter->setText(QString::number(m_model->Count()));
}

void ServerList::RemoveAll()
{
    m_model->Clear();
    if (m_eventShown)
        m_eventShown->setVisible(false);
    if (m_eventAddress)
        m_eventAddress->setText(QString());
    if (m_counter)
        m_counter->setText(QStringLiteral("0"));
}

void ServerList::Retranslate(TextLookup text, const QString& language)
{
    m_text = std::move(text);
    QStringList headers;
    for (const ServerField& field : kServerFields)
        headers.append(m_text(QString::fromUtf16(field.headerKey.data(), field.headerKey.size())));
    m_model->SetHeaderTexts(headers);
    m_model->SetLastHeardText(
        [text = m_text](qint64 seconds) { return text(QStringLiteral("Tip_LastHeard")).arg(seconds); });
    m_shown->SetLanguage(language);
    ShowShownCount();
}

void ServerList::SetFilterText(const QString& text)
{
    m_shown->SetFilterText(text);
    emit CountsChanged();
}

void ServerList::ShowShownCount()
{
    if (!m_shownCount)
        return;
    const bool filtering = !m_shown->FilterText().isEmpty();
    m_shownCount->setText(filtering && m_text
                              ? m_text(QStringLiteral("Filter_Shown")).arg(ShownCount()).arg(m_model->Count())
                              : QString());
}

int ServerList::SelectedRow() const
{
    if (!m_view || !m_view->selectionModel())
        return -1;
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    if (current.isValid() && m_view->selectionModel()->isRowSelected(current.row(), current.parent()))
        return m_shown->mapToSource(current).row();
    const std::vector<int> selected = SelectedRows();
    return selected.empty() ? -1 : selected.front();
}

std::vector<int> ServerList::SelectedRows() const
{
    std::vector<int> rows;
    if (!m_view || !m_view->selectionModel())
        return rows;
    QModelIndexList selected = m_view->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        rows.push_back(m_shown->mapToSource(index).row());
    return rows;
}

std::vector<int> ServerList::ShownRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(m_shown->rowCount()));
    for (int i = 0; i < m_shown->rowCount(); ++i)
        rows.push_back(m_shown->mapToSource(m_shown->index(i, 0)).row());
    return rows;
}

int ServerList::ShownCount() const
{
    return m_shown->rowCount();
}
