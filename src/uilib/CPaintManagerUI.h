#pragma once

#include "uilib/CDuiString.h"
#include "uilib/CResourceManager.h"
#include "uilib/UiDefs.h"

#include <QPointer>
#include <QWidget>

class CControlUI;
class CWindowWnd;
class QWidget;

// The controls of one window, plus the library's process-wide settings
// (instance, resource folder, message loop). GUI thread only, except
// PostQuitMessage.
class CPaintManagerUI : private CResourceManager::TextUser
{
public:
    CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;
    ~CPaintManagerUI() override;

    // Process-wide. The instance is an opaque token kept for the caller.
    static void SetInstance(void* instance);
    static void* GetInstance();
    // The executable's folder, ending with '/'. Known before SetInstance.
    static CDuiString GetInstancePath();
    // Where skins and images are looked up; the instance path until set. A
    // '/' is appended when missing.
    static void SetResourcePath(const CDuiString& path);
    static CDuiString GetResourcePath();
    // Runs the event loop until PostQuitMessage; returns its code.
    static int MessageLoop();
    static void PostQuitMessage(int code);

    // The control named `name` in this window (the root included), or nullptr
    // when there is none, the name is empty or the window is not built.
    CControlUI* FindControl(const CDuiString& name) const;
    CControlUI* GetRoot() const;
    HWND GetPaintWindow() const;
    CWindowWnd* GetWindow() const { return m_window; }

    // Frees a block the library allocated and handed out (the menu command
    // record of message 1145). Null is ignored.
    void DeletePtr(void* block);

    // Resolves every resource text of this window again.
    void ReloadText() override;

    // Library side: the window and its built root widget.
    void Attach(CWindowWnd* window, QWidget* root);
    void Detach();

private:
    CWindowWnd* m_window = nullptr;  // owner of this manager
    QPointer<QWidget> m_root;        // owned by the window's widget tree
};
