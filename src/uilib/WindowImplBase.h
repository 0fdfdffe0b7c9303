#pragma once

#include "uilib/CPaintManagerUI.h"
#include "uilib/CWindowWnd.h"
#include "uilib/IDialogBuilderCallback.h"
#include "uilib/INotifyUI.h"
#include "uilib/IQueryControlText.h"

// Base of each skinned window. Create loads GetSkinFile() (a path relative to
// the resource folder, or absolute) as the window content, then calls
// InitWindow. Buttons notify "click", lists "itemactivate"/"itemselect".
//
// Message order in HandleMessage: WM_SYSCOMMAND goes to OnSysCommand (handled
// preset to TRUE); every other message, WM_DESTROY and the program's own
// (1025, 1145, 3024) included, goes to HandleCustomMessage (handled preset
// to FALSE); unhandled messages get CWindowWnd::HandleMessage.
//
// The default Notify passes "click" to OnClick, whose default does nothing:
// no control name (MINBTN, MAXBTN, CLOSEBTN, ...) gets an action of the
// library's own.
class WindowImplBase : public CWindowWnd, public INotifyUI, public IQueryControlText, public IDialogBuilderCallback
{
public:
    WindowImplBase();
    ~WindowImplBase() override;  // withdraws this window's text source

    virtual CDuiString GetSkinFile() = 0;
    virtual void InitWindow() {}
    void Notify(TNotifyUI& msg) override;
    virtual void OnClick(TNotifyUI& msg);
    virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
    void OnFinalMessage(HWND window) override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    const char16_t* QueryControlText(const char16_t* key, const char16_t* type) override;
    CControlUI* CreateControl(const CDuiString& className) override;

    CPaintManagerUI& GetPaintManager() { return m_pm; }

protected:
    QWidget* CreateContent() override;
    void OnCreated() override;
    int CaptionHeight() const override { return m_captionHeight; }
    int SizeBoxWidth() const override { return m_sizeBoxWidth; }

    CPaintManagerUI m_pm;

private:
    int m_captionHeight = 0;
    int m_sizeBoxWidth = 0;
};
