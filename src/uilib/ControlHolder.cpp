#include "uilib/ControlHolder.h"

#include "uilib/CButtonUI.h"
#include "uilib/CContainerUI.h"
#include "uilib/CLabelUI.h"
#include "uilib/CListUI.h"
#include "uilib/SkinButton.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QMenu>
#include <QTreeView>

namespace {
const char kControlProperty[] = "_vindrel_control";

std::unique_ptr<CControlUI> MakeControl(QWidget* widget)
{
    if (auto* button = qobject_cast<SkinButton*>(widget))
        return std::make_unique<CButtonUI>(button);
    if (qobject_cast<QLabel*>(widget))
        return std::make_unique<CLabelUI>(widget);
    if (auto* tree = qobject_cast<QTreeView*>(widget))
        return std::make_unique<CListUI>(tree);
    return std::make_unique<CContainerUI>(widget);
}

void BuildBelow(QWidget* widget)
{
    if (!CControlUI::FromWidget(widget))
        new ControlHolder(widget, MakeControl(widget));
    if (qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QMenu*>(widget))
        return;
    const auto children = widget->children();
    for (QObject* child : children) {
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            BuildBelow(w);
    }
}
}  // namespace

ControlHolder::ControlHolder(QWidget* widget, std::unique_ptr<CControlUI> control)
    : QObject(widget)
    , m_control(std::move(control))
{
    widget->setProperty(kControlProperty, QVariant::fromValue(reinterpret_cast<quintptr>(m_control.get())));
}

// The widget is being destroyed when this runs; leave its properties alone.
ControlHolder::~ControlHolder() = default;

void BuildControls(QWidget* root)
{
    BuildBelow(root);
}

CControlUI* CControlUI::FromWidget(const QWidget* widget)
{
    if (!widget)
        return nullptr;
    const QVariant v = widget->property(kControlProperty);
    return v.isValid() ? reinterpret_cast<CControlUI*>(v.value<quintptr>()) : nullptr;
}
