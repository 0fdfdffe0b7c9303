#pragma once

#include <QObject>

#include <memory>

class CControlUI;

// Ties a control facade to its widget: a child object of the widget that
// owns the facade, so the facade goes when the widget goes.
class ControlHolder final : public QObject
{
    Q_OBJECT

public:
    ControlHolder(QWidget* widget, std::unique_ptr<CControlUI> control);
    ~ControlHolder() override;
    CControlUI* Control() const { return m_control.get(); }

private:
    std::unique_ptr<CControlUI> m_control;
};

// Creates the facade of every widget below and including `root` (not inside
// item views or menus, whose insides are not controls).
void BuildControls(QWidget* root);
