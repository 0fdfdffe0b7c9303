#pragma once

#include "base/MessageTarget.h"
#include "uilib/CDuiString.h"
#include "uilib/UiDefs.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class MessageChannel;
class QEventLoop;
class WindowFrame;

// A top-level window. Its widget is built by Create and destroyed by Close
// (or when the object goes). Everything except SendMessageW/PostMessageW runs
// on the GUI thread.
//
// Messages: SendMessageW delivers synchronously to HandleMessage on the GUI
// thread, from any thread. A sender waiting when the window is destroyed or
// the application quits is released with 0, and later sends return 0 at once.
class CWindowWnd : public IMessageTarget
{
public:
    CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;
    virtual ~CWindowWnd();

    HWND GetHWND() const;
    operator HWND() const { return GetHWND(); }  // NOLINT: reads like a handle
    static CWindowWnd* FromHWND(HWND window);

    // Builds the window. parent nullptr is the desktop. WS_EX_TOPMOST keeps it
    // on top, WS_EX_TOOLWINDOW makes it a tool window; CW_USEDEFAULT takes the
    // position or size from the content. Returns false, and creates nothing,
    // when the content cannot be built (a line on stderr says why).
    bool Create(HWND parent, const CDuiString& name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
                int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);
    void CenterWindow();
    void ShowWindow(bool show = true, bool takeFocus = true);
    // SW_HIDE, SW_SHOWNORMAL, SW_SHOW, SW_SHOWMAXIMIZED, SW_MINIMIZE, SW_RESTORE.
    void ShowWindowCommand(int command);
    bool IsZoomed() const;
    RECT GetWindowRect() const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    // Shows the window modally and returns the code given to Close. `this`
    // may be deleted when it returns (OnFinalMessage).
    UINT ShowModal();
    // Destroys the window soon (not inside the caller's stack): WM_DESTROY
    // reaches HandleMessage, the widget goes, a modal loop returns `code`,
    // then OnFinalMessage runs.
    void Close(UINT code = IDOK_CODE);
    // 128 is the program icon, res/vindrel.png in the instance folder.
    void SetIcon(UINT resourceId);

    LRESULT SendMessageW(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Queued delivery; false when the window is gone.
    bool PostMessageW(UINT message, WPARAM wParam, LPARAM lParam);

    // Default processing of a message (WM_SYSCOMMAND's SC_* commands, WM_CLOSE).
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    virtual CDuiString GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return 0; }
    // After the window was destroyed; a window may delete itself here.
    virtual void OnFinalMessage(HWND window);

protected:
    // Builds the content widget (no parent); nullptr fails Create.
    virtual QWidget* CreateContent();
    // Runs once the window exists, inside Create.
    virtual void OnCreated() {}
    // Title-band height and resize-border width of the frameless window.
    virtual int CaptionHeight() const { return 0; }
    virtual int SizeBoxWidth() const { return 0; }

private:
    friend class WindowFrame;
    void DestroyWindow();
    void DispatchPosted(UINT message, WPARAM wParam, LPARAM lParam);

    QPointer<QWidget> m_window;                 // owned here (deleted in DestroyWindow)
    WindowFrame* m_frame = nullptr;             // child of m_window
    std::shared_ptr<MessageChannel> m_channel;  // shared with senders' threads
    std::shared_ptr<bool> m_alive;              // expires with this object
    QEventLoop* m_modalLoop = nullptr;          // on ShowModal's stack
    UINT m_closeCode = 0;
    bool m_closing = false;
};
