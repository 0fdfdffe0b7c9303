#pragma once

#include "uilib/WindowImplBase.h"

#include <ctime>
#include <string>

// The skinned modal message box (message.xml beside the executable): a title,
// a text, OK, Cancel and a close button. Closes with 1 after OK and 0 after
// Cancel or the close button. Answers its keys from the message-window
// table. Lives on the heap and deletes itself when its window is destroyed.
class CMsgWnd final : public WindowImplBase
{
public:
    CMsgWnd();
    ~CMsgWnd() override;

    // Creates, centres and shows a new message window modally over `parent`
    // (nullptr: the desktop, where the window stays on top) and returns its
    // close code once it has closed; 0 when its skin cannot be loaded.
    static UINT ShowMessageWindow(HWND parent, const CDuiString& title, const CDuiString& text);

    // An empty value keeps the skin's text.
    void SetMessageTitle(const CDuiString& title);
    void SetMessageText(const CDuiString& text);

    CDuiString GetWindowClassName() const override;
    void OnFinalMessage(HWND window) override;
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    // Writes the diagnostic log, then names message.xml beside the executable.
    CDuiString GetSkinFile() override;
    LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void Notify(TNotifyUI& msg) override;
    const char16_t* QueryControlText(const char16_t* key, const char16_t* type) override;

    // "log/Y-M-D-h-m-s.txt" under `dir` (8-bit, ends with '/'), no leading zeros.
    static std::string LogFilePath(const std::string& dir, const std::tm& localTime);

private:
    CControlUI* m_closeButton = nullptr;  // owned by the window; null without CLOSEBTN
};

// The message window over `parent`; see CMsgWnd::ShowMessageWindow.
inline UINT ShowMessageWindow(HWND parent, const CDuiString& title, const CDuiString& text)
{
    return CMsgWnd::ShowMessageWindow(parent, title, text);
}
