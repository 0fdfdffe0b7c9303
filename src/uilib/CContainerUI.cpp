#include "uilib/CContainerUI.h"

#include <QLayout>

namespace {
QList<QWidget*> ChildControls(QWidget* widget)
{
    QList<QWidget*> result;
    if (!widget)
        return result;
    const auto children = widget->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (CControlUI::FromWidget(child))
            result.append(child);
    }
    return result;
}
}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::CContainerUI(QWidget* widget)
    : CControlUI(widget)
{
}

CControlUI* CContainerUI::FindSubControl(const CDuiString& name) const
{
    QWidget* widget = GetWidget();
    if (!widget || name.isEmpty())
        return nullptr;
    return CControlUI::FromWidget(widget->findChild<QWidget*>(name));
}

int CContainerUI::GetCount() const
{
    return static_cast<int>(ChildControls(GetWidget()).size());
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    const auto children = ChildControls(GetWidget());
    if (index < 0 || index >= children.size())
        return nullptr;
    return CControlUI::FromWidget(children[index]);
}

bool CContainerUI::Add(CControlUI* control)
{
    QWidget* widget = GetWidget();
    QWidget* child = control ? control->GetWidget() : nullptr;
    if (!widget || !child || child == widget || child->isAncestorOf(widget))
        return false;
    if (widget->layout())
        widget->layout()->addWidget(child);
    else
        child->setParent(widget);
    child->show();
    return true;
}

void CContainerUI::RemoveAll()
{
    const auto children = ChildControls(GetWidget());
    for (QWidget* child : children)
        delete child;
}
