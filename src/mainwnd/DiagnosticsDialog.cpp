#include "mainwnd/DiagnosticsDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

DiagnosticsDialog::DiagnosticsDialog(PhraseLookup translate, const TextLookup& text, QWidget* parent)
    : QDialog(parent)
    , m_translate(std::move(translate))
    , m_text(text)
    , m_headline(new QLabel(this))
    , m_report(new QPlainTextEdit(this))
    , m_copy(new QPushButton(text(QStringLiteral("Dialog_Copy")), this))
{
    setWindowTitle(text(QStringLiteral("Diagnostics_Title")));
    m_headline->setWordWrap(true);
    m_headline->setTextFormat(Qt::PlainText);
    QFont bold = m_headline->font();
    bold.setBold(true);
    m_headline->setFont(bold);
    m_report->setReadOnly(true);
    m_report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_report->setAccessibleName(text(QStringLiteral("Diagnostics_Title")));
    m_report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_copy->setEnabled(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_copy, QDialogButtonBox::ActionRole);
    buttons->addButton(text(QStringLiteral("Dialog_Close")), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headline);
    layout->addWidget(m_report, 1);
    layout->addWidget(buttons);
    resize(620, 420);

    connect(m_copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Report()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

DiagnosticsDialog::~DiagnosticsDialog()
{
    if (m_worker.joinable())
        m_worker.join();
}

void DiagnosticsDialog::Run(Gather gather)
{
    if (IsRunning())
        return;
    if (m_worker.joinable())
        m_worker.join();  // finished already: its result has been shown
    m_done = false;
    m_copy->setEnabled(false);
    m_report->clear();
    m_headline->setText(m_text(QStringLiteral("Diagnostics_Checking")));
    // The result comes back as a queued call; Qt drops it if the dialog is
    // gone, and the destructor joins first, so `this` outlives the thread.
    m_worker = std::thread([this, gather = std::move(gather)] {
        DiagnosisInput input = gather();
        QMetaObject::invokeMethod(
            this, [this, input = std::move(input)] { Show(input); }, Qt::QueuedConnection);
    });
}

QString DiagnosticsDialog::Report() const
{
    return m_report->toPlainText();
}

void DiagnosticsDialog::Show(const DiagnosisInput& input)
{
    m_done = true;
    const Diagnosis diagnosis = Diagnose(input, m_translate);
    QString report = QString::fromStdString(diagnosis.report);
    if (report.endsWith(u'\n'))
        report.chop(1);
    // The headline is what to act on: the likeliest cause, else the summary.
    m_headline->setText(diagnosis.causes.empty() ? report.section(u'\n', 0, 0)
                                                 : QString::fromStdString(diagnosis.causes.front().text));
    m_report->setPlainText(report);
    m_copy->setEnabled(true);
    emit Finished();
}
