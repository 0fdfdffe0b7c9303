#include "CLabelUI.h"

#include <QLabel>

CLabelUI::CLabelUI(QWidget* widget)
    : CControlUI(widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setTextFormat(Qt::PlainText);
}
