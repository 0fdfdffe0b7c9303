#pragma once

#include "uilib/CDuiString.h"

class CControlUI;

// Lets a window supply control types of its own while a layout is built. The
// library's standard controls cover every skin of the program, so the
// builder asks only for class names it does not know; nullptr declines.
class IDialogBuilderCallback
{
public:
    virtual CControlUI* CreateControl(const CDuiString& className) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};
