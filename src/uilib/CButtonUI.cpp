#include "uilib/CButtonUI.h"

#include "uilib/SkinButton.h"

namespace {
// Look attributes a skin may give as dynamic properties of a QPushButton.
const char* const kLookProperties[] = {
    "normalimage",       "hotimage", "pushedimage", "disabledimage", "textcolor",   "hottextcolor", "pushedtextcolor",
    "disabledtextcolor", "bkcolor",  "hotbkcolor",  "pushedbkcolor", "bordercolor", "borderround",
};
}  // namespace

CButtonUI::CButtonUI(SkinButton* widget)
    : CControlUI(widget)
{
    for (const char* name : kLookProperties) {
        const QVariant value = widget->property(name);
        if (value.isValid())
            widget->SetLookAttribute(QString::fromLatin1(name), value.toString());
    }
}

SkinButton* CButtonUI::Button() const
{
    return static_cast<SkinButton*>(GetWidget());
}

void CButtonUI::SetNormalImage(const CDuiString& image)
{
    SetAttribute(u"normalimage", image);
}

CDuiString CButtonUI::GetNormalImage() const
{
    return Button() ? Button()->GetLook().NormalImage.Value : QString();
}

void CButtonUI::SetHotImage(const CDuiString& image)
{
    SetAttribute(u"hotimage", image);
}

CDuiString CButtonUI::GetHotImage() const
{
    return Button() ? Button()->GetLook().HotImage.Value : QString();
}

void CButtonUI::SetPushedImage(const CDuiString& image)
{
    SetAttribute(u"pushedimage", image);
}

CDuiString CButtonUI::GetPushedImage() const
{
    return Button() ? Button()->GetLook().PushedImage.Value : QString();
}

void CButtonUI::SetAttribute(const CDuiString& name, const CDuiString& value)
{
    if (SkinButton* button = Button(); button && button->SetLookAttribute(name, value))
        return;
    CControlUI::SetAttribute(name, value);
}
