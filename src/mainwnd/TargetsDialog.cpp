#include "mainwnd/TargetsDialog.h"

#include "discovery/ProbeTarget.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TargetsDialog::TargetsDialog(const QStringList& targets, const TextLookup& text, QWidget* parent)
    : QDialog(parent)
    , m_text(text)
    , m_list(new QListWidget(this))
    , m_entry(new QLineEdit(this))
    , m_add(new QPushButton(text(QStringLiteral("Targets_Add")), this))
    , m_remove(new QPushButton(text(QStringLiteral("Targets_Remove")), this))
    , m_verdict(new QLabel(this))
{
    setWindowTitle(text(QStringLiteral("Targets_Title")));
    auto* intro = new QLabel(text(QStringLiteral("Targets_Intro")), this);
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::PlainText);
    // Screen readers take the children in their order: the introduction
    // first, then the list, the entry and the buttons as they are shown.
    intro->lower();
    m_list->addItems(targets);
    m_list->setAccessibleName(text(QStringLiteral("Targets_Title")));
    m_entry->setPlaceholderText(text(QStringLiteral("Targets_Placeholder")));
    m_entry->setAccessibleName(text(QStringLiteral("Targets_Placeholder")));
    m_verdict->setTextFormat(Qt::PlainText);
    m_add->setEnabled(false);
    m_remove->setEnabled(false);

    auto* entryRow = new QHBoxLayout;
    entryRow->addWidget(m_entry, 1);
    entryRow->addWidget(m_add);
    entryRow->addWidget(m_remove);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(text(QStringLiteral("Dialog_OK")), QDialogButtonBox::AcceptRole);
    buttons->addButton(text(QStringLiteral("Dialog_Cancel")), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list, 1);
    layout->addLayout(entryRow);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);
    resize(520, 360);

    connect(m_entry, &QLineEdit::textChanged, this, &TargetsDialog::Check);
    connect(m_entry, &QLineEdit::returnPressed, this, &TargetsDialog::Add);
    connect(m_add, &QPushButton::clicked, this, &TargetsDialog::Add);
    connect(m_remove, &QPushButton::clicked, this, &TargetsDialog::RemoveSelected);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this] { m_remove->setEnabled(!m_list->selectedItems().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QStringList TargetsDialog::Targets() const
{
    QStringList targets;
    for (int i = 0; i < m_list->count(); ++i)
        targets.append(m_list->item(i)->text());
    return targets;
}

void TargetsDialog::Check()
{
    const QString written = m_entry->text().trimmed();
    if (written.isEmpty()) {
        m_verdict->clear();
        m_entry->setAccessibleDescription(QString());
        m_add->setEnabled(false);
        return;
    }
    const ProbeTargetParse parse = ParseProbeTarget(written.toStdString());
    m_add->setEnabled(parse.target.has_value() && !Targets().contains(written));
    m_verdict->setStyleSheet(parse.target ? QString() : QStringLiteral("color: #C4363B;"));
    m_verdict->setText(parse.target ? m_text(QStringLiteral("Targets_Good")).arg(parse.target->Size())
                                    : m_text(QStringLiteral("Targets_Bad")).arg(QString::fromStdString(parse.error)));
    // Read with the entry, where the focus is while typing.
    m_entry->setAccessibleDescription(m_verdict->text());
}

void TargetsDialog::Add()
{
    if (!m_add->isEnabled())
        return;
    m_list->addItem(m_entry->text().trimmed());
    m_entry->clear();
}

void TargetsDialog::RemoveSelected()
{
    qDeleteAll(m_list->selectedItems());
    m_remove->setEnabled(false);
}
