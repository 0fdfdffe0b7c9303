#pragma once

#include "uilib/CControlUI.h"

// A label from a skin (QLabel). Shows plain text only: text a server sent
// can never turn into markup or a link. A dynamic property `image` (a skin
// image path) makes it show that image at its minimum size.
class CLabelUI : public CControlUI
{
public:
    explicit CLabelUI(QWidget* widget);
};
