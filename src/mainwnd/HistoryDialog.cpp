#include "mainwnd/HistoryDialog.h"

#include "mainwnd/EventText.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

// Two columns of text made once when the events arrive: ten thousand rows
// must show at once, so nothing is formatted while painting.
class EventListModel final : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    struct Row
    {
        QString when;
        QString what;
    };

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const Row& row = m_rows[static_cast<std::size_t>(index.row())];
        return index.column() == 0 ? row.when : row.what;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
            return m_headers[section];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    void SetHeaders(const QString& when, const QString& what) { m_headers[0] = when, m_headers[1] = what; }
    void SetRows(std::vector<Row> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const std::vector<Row>& Rows() const { return m_rows; }

private:
    std::vector<Row> m_rows;
    QString m_headers[2];
};

HistoryDialog::HistoryDialog(const QString& name, const QString& id, const TextLookup& text,
                             const QString& language, std::chrono::seconds silentAfter, QWidget* parent)
    : QDialog(parent)
    , m_name(name)
    , m_id(id)
    , m_text(text)
    , m_language(language)
    , m_silentAfter(silentAfter)
    , m_model(new EventListModel(this))
    , m_view(new QTableView(this))
    , m_note(new QLabel(this))
{
    setObjectName(QStringLiteral("HISTORYDIALOG"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(m_text(QStringLiteral("History_Title")).arg(name.isEmpty() ? id : name));
    m_model->SetHeaders(m_text(QStringLiteral("history_When")), m_text(QStringLiteral("history_What")));
    m_view->setModel(m_model);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setAccessibleName(windowTitle());
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(m_text(QStringLiteral("Dialog_Close")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    layout->addWidget(m_view);
    layout->addWidget(buttons);
    resize(640, 400);
}

HistoryDialog::~HistoryDialog() = default;

void HistoryDialog::SetEvents(const std::vector<ServerEvent>& events)
{
    const QLocale locale(m_language == QStringLiteral("en") ? QLocale::English : QLocale::Chinese);
    std::vector<EventListModel::Row> rows;
    rows.reserve(events.size());
    // Newest first: what a person opens History… for is what just happened.
    for (auto e = events.rbegin(); e != events.rend(); ++e) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(e->at.time_since_epoch()).count());
        rows.push_back({locale.toString(at, QLocale::ShortFormat), EventText(*e, m_name, m_silentAfter, m_text)});
    }
    m_model->SetRows(std::move(rows));
    m_view->resizeColumnToContents(0);
    if (m_unavailable)
        return;  // the reason stands: without a book there is no history to speak of
    m_note->setText(m_text(QStringLiteral("History_None")));
    m_note->setVisible(events.empty());
}

void HistoryDialog::SetUnavailable(const QString& reason)
{
    m_unavailable = true;
    m_note->setText(m_text(QStringLiteral("History_Unavailable")).arg(reason));
    m_note->show();
}

int HistoryDialog::EventCount() const
{
    return m_model->rowCount();
}

QString HistoryDialog::When(int row) const
{
    return m_model->Rows()[static_cast<std::size_t>(row)].when;
}

QString HistoryDialog::What(int row) const
{
    return m_model->Rows()[static_cast<std::size_t>(row)].what;
}
