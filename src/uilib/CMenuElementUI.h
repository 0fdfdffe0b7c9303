#pragma once

#include "uilib/CControlUI.h"

class QAction;

// One menu item. Created stand-alone (`new CMenuElementUI`), named and given
// a text (a catalogue key when SetResourceText(true)), then added to a menu's
// CMenuUI, which takes ownership and shows it as an action.
class CMenuElementUI : public CControlUI
{
public:
    CMenuElementUI();
    ~CMenuElementUI() override;

    void SetText(const CDuiString& text) override;
    void SetVisible(bool visible = true) override;
    bool IsVisible() const override;
    void SetMouseEnabled(bool enabled = true) override;

    void SetUserData(const CDuiString& data) { m_userData = data; }
    CDuiString GetUserData() const { return m_userData; }
    void SetChecked(bool checked);
    bool IsChecked() const { return m_checked; }

    QAction* GetAction() const { return m_action; }
    // Library side: binds the item to the action that shows it.
    void Bind(QAction* action);

protected:
    void ShowText(const CDuiString& shown) override;

private:
    QAction* m_action = nullptr;  // owned by the menu widget
    CDuiString m_userData;
    bool m_checked = false;
};
