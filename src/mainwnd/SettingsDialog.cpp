#include "mainwnd/SettingsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

SettingsDialog::SettingsDialog(const NotifySettings& settings, const TextLookup& text, QWidget* parent)
    : QDialog(parent)
    , m_new(new QCheckBox(text(QStringLiteral("Settings_New"))))
    , m_silent(new QCheckBox(text(QStringLiteral("Settings_Silent"))))
    , m_back(new QCheckBox(text(QStringLiteral("Settings_Back"))))
    , m_moved(new QCheckBox(text(QStringLiteral("Settings_Moved"))))
    , m_silentAfter(new QSpinBox)
{
    setWindowTitle(text(QStringLiteral("Settings_Title")));
    setObjectName(QStringLiteral("SETTINGSDIALOG"));
    auto* group = new QGroupBox(text(QStringLiteral("Settings_Notify")));
    auto* checks = new QVBoxLayout(group);
    for (QCheckBox* box : {m_new, m_silent, m_back, m_moved})
        checks->addWidget(box);
    m_new->setChecked(settings.onNew);
    m_silent->setChecked(settings.onSilent);
    m_back->setChecked(settings.onBack);
    m_moved->setChecked(settings.onMoved);

    m_silentAfter->setRange(static_cast<int>(NotifySettings::kMinSilentAfter.count()),
                            static_cast<int>(NotifySettings::kMaxSilentAfter.count()));
    m_silentAfter->setSuffix(text(QStringLiteral("Settings_SecondsSuffix")));
    m_silentAfter->setValue(static_cast<int>(settings.silentAfter.count()));
    auto* form = new QFormLayout;
    form->addRow(text(QStringLiteral("Settings_SilentAfter")), m_silentAfter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(text(QStringLiteral("Dialog_OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(text(QStringLiteral("Dialog_Cancel")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

NotifySettings SettingsDialog::Settings() const
{
    NotifySettings s;
    s.onNew = m_new->isChecked();
    s.onSilent = m_silent->isChecked();
    s.onBack = m_back->isChecked();
    s.onMoved = m_moved->isChecked();
    s.silentAfter = std::chrono::seconds(m_silentAfter->value());
    return s;
}
