#include "uilib/CControlUI.h"

#include "uilib/AttributeList.h"
#include "uilib/CResourceManager.h"

#include <QAbstractButton>
#include <QLabel>
#include <QVariant>

namespace {
bool ParseBool(const QString& value)
{
    return value.compare(u"true", Qt::CaseInsensitive) == 0 || value == u"1";
}
}  // namespace

CControlUI::CControlUI() = default;

CControlUI::CControlUI(QWidget* widget)
    : m_widget(widget)
{
    if (!widget)
        return;
    m_resourceText = widget->property("resourceText").toBool();
    const QVariant text = widget->property("text");
    if (text.isValid())
        m_text = text.toString();
    m_mouseEnabled = !widget->testAttribute(Qt::WA_TransparentForMouseEvents);
    if (m_resourceText)
        RefreshShownText();
}

CControlUI::~CControlUI() = default;

CDuiString CControlUI::GetName() const
{
    if (m_widget)
        return m_widget->objectName();
    return m_name;
}

void CControlUI::SetName(const CDuiString& name)
{
    if (m_widget)
        m_widget->setObjectName(name);
    else
        m_name = name;
}

CDuiString CControlUI::GetText() const
{
    if (m_resourceText)
        return CResourceManager::GetInstance()->GetText(m_text);
    return m_text;
}

void CControlUI::SetText(const CDuiString& text)
{
    m_text = text;
    RefreshShownText();
}

void CControlUI::SetResourceText(bool resourceText)
{
    if (m_resourceText == resourceText)
        return;
    m_resourceText = resourceText;
    RefreshShownText();
}

void CControlUI::ReloadText()
{
    if (m_resourceText)
        RefreshShownText();
}

void CControlUI::RefreshShownText()
{
    ShowText(GetText());
}

void CControlUI::ShowText(const CDuiString& shown)
{
    if (!m_widget)
        return;
    if (auto* label = qobject_cast<QLabel*>(m_widget.data())) {
        label->setTextFormat(Qt::PlainText);
        label->setText(shown);
    } else if (m_widget->property("text").isValid()) {
        m_widget->setProperty("text", QVariant(static_cast<const QString&>(shown)));
    }
}

void CControlUI::SetVisible(bool visible)
{
    if (m_widget)
        m_widget->setVisible(visible);
    else
        m_visible = visible;
}

bool CControlUI::IsVisible() const
{
    return m_widget ? !m_widget->isHidden() : m_visible;
}

void CControlUI::SetMouseEnabled(bool enabled)
{
    m_mouseEnabled = enabled;
    if (m_widget) {
        m_widget->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
        if (auto* button = qobject_cast<QAbstractButton*>(m_widget.data()); button && !enabled)
            button->setDown(false);
        m_widget->update();
    }
}

RECT CControlUI::GetPos() const
{
    if (!m_widget)
        return {};
    const QWidget* window = m_widget->window();
    const QPoint topLeft = m_widget == window ? QPoint(0, 0) : m_widget->mapTo(window, QPoint(0, 0));
    return {topLeft.x(), topLeft.y(), topLeft.x() + m_widget->width(), topLeft.y() + m_widget->height()};
}

void CControlUI::ApplyAttributeList(const CDuiString& list)
{
    for (const auto& [name, value] : ParseAttributeList(list))
        SetAttribute(name, value);
}

void CControlUI::SetAttribute(const CDuiString& name, const CDuiString& value)
{
    if (name.CompareNoCase(u"text") == 0) {
        SetText(value);
    } else if (name.CompareNoCase(u"name") == 0) {
        SetName(value);
    } else if (name.CompareNoCase(u"visible") == 0) {
        SetVisible(ParseBool(value));
    } else if (name.CompareNoCase(u"mouse") == 0) {
        SetMouseEnabled(ParseBool(value));
    } else if (name.CompareNoCase(u"resourcetext") == 0) {
        SetResourceText(ParseBool(value));
    } else if (name.CompareNoCase(u"tooltip") == 0 && m_widget) {
        m_widget->setToolTip(value);
    }
}
