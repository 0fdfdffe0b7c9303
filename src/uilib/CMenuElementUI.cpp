#include "uilib/CMenuElementUI.h"

#include <QAction>

CMenuElementUI::CMenuElementUI() = default;

CMenuElementUI::~CMenuElementUI() = default;

void CMenuElementUI::Bind(QAction* action)
{
    m_action = action;
    if (!m_action)
        return;
    m_action->setObjectName(GetName());
    m_action->setVisible(CControlUI::IsVisible());
    m_action->setEnabled(IsMouseEnabled());
    m_action->setCheckable(m_checked);
    m_action->setChecked(m_checked);
    ShowText(GetText());
}

void CMenuElementUI::SetText(const CDuiString& text)
{
    CControlUI::SetText(text);
}

void CMenuElementUI::ShowText(const CDuiString& shown)
{
    if (!m_action)
        return;
    // A '&' in a plain text is a character, not a mnemonic marker.
    QString text = shown;
    text.replace(u'&', QStringLiteral("&&"));
    m_action->setText(text);
}

void CMenuElementUI::SetVisible(bool visible)
{
    CControlUI::SetVisible(visible);
    if (m_action)
        m_action->setVisible(visible);
}

bool CMenuElementUI::IsVisible() const
{
    return CControlUI::IsVisible();
}

void CMenuElementUI::SetMouseEnabled(bool enabled)
{
    CControlUI::SetMouseEnabled(enabled);
    if (m_action)
        m_action->setEnabled(enabled);
}

void CMenuElementUI::SetChecked(bool checked)
{
    m_checked = checked;
    if (m_action) {
        m_action->setCheckable(checked);
        m_action->setChecked(checked);
    }
}
