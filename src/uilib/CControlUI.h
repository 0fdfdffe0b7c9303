#pragma once

#include "uilib/CDuiString.h"
#include "uilib/UiDefs.h"

#include <QPointer>
#include <QWidget>

class CContainerUI;

// A named control of a window. Either a facade over a widget that a skin
// built (ownership follows the widget: the facade dies with its widget), or a
// lightweight stand-alone item (a list row's cell, a menu item) owned by its
// container. GUI thread only.
//
// Text: when the control is a resource text, its text is a catalogue key and
// the control shows what the installed IQueryControlText answers for it in
// the current language, or the key itself when nobody knows it. Plain text is
// always shown as is, never interpreted as markup.
class CControlUI
{
public:
    CControlUI();
    explicit CControlUI(QWidget* widget);
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;
    virtual ~CControlUI();

    CDuiString GetName() const;
    virtual void SetName(const CDuiString& name);

    // The text shown: the resolved key for a resource text, else the text.
    CDuiString GetText() const;
    // The text as set: the key for a resource text.
    CDuiString GetRawText() const { return m_text; }
    virtual void SetText(const CDuiString& text);
    void SetResourceText(bool resourceText);
    bool IsResourceText() const { return m_resourceText; }
    // Resolves the key again (after a language change); no-op for plain text.
    virtual void ReloadText();

    virtual void SetVisible(bool visible = true);
    virtual bool IsVisible() const;
    virtual void SetMouseEnabled(bool enabled = true);
    bool IsMouseEnabled() const { return m_mouseEnabled; }

    // Position in the window's client coordinates (right/bottom exclusive);
    // all zero for a control without a widget.
    virtual RECT GetPos() const;

    // `name="value"` pairs separated by blanks; names the control does not
    // know and malformed parts are skipped. Attributes not named keep their
    // values.
    void ApplyAttributeList(const CDuiString& list);
    virtual void SetAttribute(const CDuiString& name, const CDuiString& value);

    // The widget behind the control; nullptr for stand-alone items or once the
    // widget is gone.
    QWidget* GetWidget() const { return m_widget.data(); }
    virtual CContainerUI* AsContainer() { return nullptr; }

    // The facade of a widget a skin built, or nullptr.
    static CControlUI* FromWidget(const QWidget* widget);

protected:
    // Pushes the shown text to wherever it is displayed.
    virtual void ShowText(const CDuiString& shown);

private:
    void RefreshShownText();

    QPointer<QWidget> m_widget;
    CDuiString m_name;  // stand-alone items only; widgets keep objectName
    CDuiString m_text;
    bool m_resourceText = false;
    bool m_visible = true;  // stand-alone items only
    bool m_mouseEnabled = true;
};
