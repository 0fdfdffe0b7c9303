#pragma once

#include "mainwnd/NotifySettings.h"
#include "uilib/SkinText.h"

#include <QDialog>

class QCheckBox;
class QSpinBox;

// "Settings…": which events tell the user and when a server counts as
// silent. A plain dialog: it needs no skin. GUI thread only.
class SettingsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsDialog)

public:
    SettingsDialog(const NotifySettings& settings, const TextLookup& text, QWidget* parent = nullptr);

    NotifySettings Settings() const;

private:
    QCheckBox* m_new;
    QCheckBox* m_silent;
    QCheckBox* m_back;
    QCheckBox* m_moved;
    QSpinBox* m_silentAfter;
};
