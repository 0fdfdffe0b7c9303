#include "uilib/CLabelUI.h"

#include "uilib/ResourcePath.h"

#include <QLabel>

CLabelUI::CLabelUI(QWidget* widget)
    : CControlUI(widget)
{
    auto* label = qobject_cast<QLabel*>(widget);
    if (!label)
        return;
    label->setTextFormat(Qt::PlainText);
    // An `image` property names a skin image (with its @2x sibling for sharp
    // rendering on 2x screens), unlike a .ui pixmap.
    const QString image = label->property("image").toString();
    if (image.isEmpty())
        return;
    const QIcon icon = LoadSkinImage(image);
    const QSize size = label->minimumSize().isEmpty() ? QSize(32, 32) : label->minimumSize();
    if (!icon.isNull())
        label->setPixmap(icon.pixmap(size, label->devicePixelRatioF()));
}
