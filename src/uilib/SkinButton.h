#pragma once

#include <QColor>
#include <QPushButton>
#include <QRect>

#include <optional>

// The push button of skins. Paints its look itself, background by state,
// an image into its `dest` rectangle and centred text, so that no style
// sheet url() is involved. Without any look set it paints like a QPushButton.
class SkinButton final : public QPushButton
{
    Q_OBJECT

public:
    enum class State { Normal, Hot, Pushed, Disabled };

    struct Image
    {
        QString Value;  // as set: a path or "file='…' dest='…'"
        QString File;
        std::optional<QRect> Dest;
    };

    struct Look
    {
        Image NormalImage, HotImage, PushedImage, DisabledImage;
        std::optional<QColor> TextColor, HotTextColor, PushedTextColor, DisabledTextColor;
        std::optional<QColor> BkColor, HotBkColor, PushedBkColor, BorderColor;
        int BorderRound = 0;
    };

    explicit SkinButton(QWidget* parent = nullptr);

    // Sets one look attribute by name; false for a name that is not a look
    // attribute or a value that does not parse (the look is then unchanged).
    bool SetLookAttribute(const QString& name, const QString& value);
    // `name="value"` pairs separated by blanks: the look attributes above and
    // text, tooltip, visible and mouse ("true"/"false"). Names ignore case;
    // unknown names and values that do not parse are skipped, attributes not
    // named keep their values, and the parse stops at the first malformed pair.
    void ApplyAttributeList(const QString& list);
    // Takes the look attributes a skin gave as dynamic properties.
    void ApplySkinProperties();
    const Look& GetLook() const { return m_look; }
    State CurrentState() const;
    // A button that takes no mouse input lets clicks through and is drawn
    // in its normal state.
    void SetMouseEnabled(bool enabled);
    bool IsMouseEnabled() const { return !testAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool HasLook() const;

    Look m_look;
    bool m_hasLook = false;
};
