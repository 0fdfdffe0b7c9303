#pragma once

#include "uilib/CControlUI.h"

#include <QColor>

class SkinButton;

// A push button from a skin (QPushButton). Its look (background by state,
// an image per state drawn into a `dest` rectangle, text colours) comes from
// the skin's dynamic properties and from ApplyAttributeList:
//   normalimage, hotimage, pushedimage, disabledimage  "file='res\x.png' dest='l,t,r,b'"
//                                                        or just a path
//   textcolor, hottextcolor, pushedtextcolor, disabledtextcolor,
//   bkcolor, hotbkcolor, pushedbkcolor, bordercolor     "#AARRGGBB"
//   borderround                                         "radius"
// A button with none of these keeps Qt's default look (and its style sheet).
class CButtonUI : public CControlUI
{
public:
    explicit CButtonUI(SkinButton* widget);

    void SetNormalImage(const CDuiString& image);
    CDuiString GetNormalImage() const;
    void SetHotImage(const CDuiString& image);
    CDuiString GetHotImage() const;
    void SetPushedImage(const CDuiString& image);
    CDuiString GetPushedImage() const;

    void SetAttribute(const CDuiString& name, const CDuiString& value) override;

private:
    SkinButton* Button() const;
};
