#pragma once

#include "CControlUI.h"

// A label from a skin (QLabel). Shows plain text only: text a server sent
// can never turn into markup or a link.
class CLabelUI : public CControlUI
{
public:
    explicit CLabelUI(QWidget* widget);
};
