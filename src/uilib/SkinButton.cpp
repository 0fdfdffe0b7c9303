#include "uilib/SkinButton.h"

#include "uilib/AttributeList.h"
#include "uilib/ResourcePath.h"

#include <QPainter>
#include <QPainterPath>

namespace {
SkinButton::Image MakeImage(const QString& value)
{
    const ImageSpec image = ParseImageSpec(value);
    return {value, image.File, image.Dest};
}

const SkinButton::Image* FirstSet(std::initializer_list<const SkinButton::Image*> images)
{
    for (const auto* image : images) {
        if (!image->File.isEmpty())
            return image;
    }
    return nullptr;
}

std::optional<QColor> FirstSet(std::initializer_list<std::optional<QColor>> colors)
{
    for (const auto& color : colors) {
        if (color)
            return color;
    }
    return std::nullopt;
}
}  // namespace

SkinButton::SkinButton(QWidget* parent)
    : QPushButton(parent)
{
    setAttribute(Qt::WA_Hover);
}

bool SkinButton::SetLookAttribute(const QString& name, const QString& value)
{
    const QString key = name.toLower();
    Image* image = key == u"normalimage"     ? &m_look.NormalImage
                   : key == u"hotimage"      ? &m_look.HotImage
                   : key == u"pushedimage"   ? &m_look.PushedImage
                   : key == u"disabledimage" ? &m_look.DisabledImage
                                             : nullptr;
    if (image) {
        *image = MakeImage(value);
        m_hasLook = true;
        update();
        return true;
    }
    std::optional<QColor>* color = key == u"textcolor"           ? &m_look.TextColor
                                   : key == u"hottextcolor"      ? &m_look.HotTextColor
                                   : key == u"pushedtextcolor"   ? &m_look.PushedTextColor
                                   : key == u"disabledtextcolor" ? &m_look.DisabledTextColor
                                   : key == u"bkcolor"           ? &m_look.BkColor
                                   : key == u"hotbkcolor"        ? &m_look.HotBkColor
                                   : key == u"pushedbkcolor"     ? &m_look.PushedBkColor
                                   : key == u"bordercolor"       ? &m_look.BorderColor
                                                                 : nullptr;
    if (color) {
        const auto parsed = ParseColor(value);
        if (!parsed)
            return false;
        *color = parsed;
        m_hasLook = true;
        update();
        return true;
    }
    if (key == u"borderround") {
        bool ok = false;
        const int radius = value.trimmed().split(u',').value(0).toInt(&ok);
        if (!ok || radius < 0)
            return false;
        m_look.BorderRound = radius;
        m_hasLook = true;
        update();
        return true;
    }
    return false;
}

void SkinButton::ApplyAttributeList(const QString& list)
{
    for (const auto& [name, value] : ParseAttributeList(list)) {
        if (SetLookAttribute(name, value))
            continue;
        const QString key = name.toLower();
        const bool on = value.compare(u"true", Qt::CaseInsensitive) == 0 || value == u"1";
        if (key == u"text")
            setText(value);
        else if (key == u"tooltip")
            setToolTip(value);
        else if (key == u"visible")
            setVisible(on);
        else if (key == u"mouse")
            SetMouseEnabled(on);
    }
}

void SkinButton::ApplySkinProperties()
{
    static const char* const kLookProperties[] = {
        "normalimage",   "hotimage",        "pushedimage",       "disabledimage", "textcolor",
        "hottextcolor",  "pushedtextcolor", "disabledtextcolor", "bkcolor",       "hotbkcolor",
        "pushedbkcolor", "bordercolor",     "borderround",
    };
    for (const char* name : kLookProperties) {
        const QVariant value = property(name);
        if (value.isValid())
            SetLookAttribute(QString::fromLatin1(name), value.toString());
    }
}

SkinButton::State SkinButton::CurrentState() const
{
    if (!isEnabled())
        return State::Disabled;
    if (isDown())
        return State::Pushed;
    if (underMouse() && !testAttribute(Qt::WA_TransparentForMouseEvents))
        return State::Hot;
    return State::Normal;
}

void SkinButton::SetMouseEnabled(bool enabled)
{
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
    if (!enabled)
        setDown(false);
    update();
}

bool SkinButton::HasLook() const
{
    return m_hasLook;
}

void SkinButton::paintEvent(QPaintEvent* event)
{
    if (!HasLook()) {
        QPushButton::paintEvent(event);
        return;
    }
    const State state = CurrentState();
    const Look& l = m_look;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    std::optional<QColor> bk;
    switch (state) {
    case State::Pushed: bk = FirstSet({l.PushedBkColor, l.HotBkColor, l.BkColor}); break;
    case State::Hot: bk = FirstSet({l.HotBkColor, l.BkColor}); break;
    default: bk = l.BkColor; break;
    }
    if (bk || l.BorderColor) {
        QPainterPath path;
        path.addRoundedRect(box, l.BorderRound, l.BorderRound);
        if (bk)
            p.fillPath(path, *bk);
        if (l.BorderColor) {
            p.setPen(QPen(*l.BorderColor, 1));
            p.drawPath(path);
        }
    }

    const Image* image = nullptr;
    switch (state) {
    case State::Pushed: image = FirstSet({&l.PushedImage, &l.HotImage, &l.NormalImage}); break;
    case State::Hot: image = FirstSet({&l.HotImage, &l.NormalImage}); break;
    case State::Disabled: image = FirstSet({&l.DisabledImage, &l.NormalImage}); break;
    case State::Normal: image = FirstSet({&l.NormalImage}); break;
    }
    if (image) {
        const QIcon icon = LoadSkinImage(image->File);
        if (!icon.isNull())
            icon.paint(&p, image->Dest.value_or(rect()), Qt::AlignCenter, QIcon::Normal, QIcon::Off);
    }

    if (!text().isEmpty()) {
        std::optional<QColor> fg;
        switch (state) {
        case State::Pushed: fg = FirstSet({l.PushedTextColor, l.TextColor}); break;
        case State::Hot: fg = FirstSet({l.HotTextColor, l.TextColor}); break;
        case State::Disabled: fg = FirstSet({l.DisabledTextColor}); break;
        case State::Normal: fg = l.TextColor; break;
        }
        p.setPen(fg.value_or(
            palette().color(state == State::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText)));
        p.setFont(font());
        // Leave room for an image drawn at the left edge, as the search buttons do.
        QRect textRect = rect();
        if (image && image->Dest && image->Dest->right() < width() / 3)
            textRect.setLeft(image->Dest->right() + 1);
        p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    // The keyboard's place must show: a ring inside the button's edge, dark
    // on a light background, white on a dark one.
    if (hasFocus()) {
        const bool dark = bk && bk->alpha() > 128 && qGray(bk->rgb()) < 150;
        QPen ring(dark ? QColor(Qt::white) : QColor(0x1F, 0x2A, 0x37), 2);
        p.setPen(ring);
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), l.BorderRound, l.BorderRound);
    }
}
