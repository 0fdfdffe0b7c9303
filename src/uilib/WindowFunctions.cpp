#include "uilib/WindowFunctions.h"

#include "uilib/CPaintManagerUI.h"
#include "uilib/CWindowWnd.h"

#include <QCursor>
#include <QWidget>

BOOL ShowWindow(HWND window, int command)
{
    if (!window)
        return FALSE;
    const BOOL wasVisible = window->isVisible() ? TRUE : FALSE;
    if (CWindowWnd* wnd = CWindowWnd::FromHWND(window); wnd && wnd->GetHWND() == window) {
        wnd->ShowWindowCommand(command);
        return wasVisible;
    }
    switch (command) {
    case SW_HIDE: window->hide(); break;
    case SW_SHOWMAXIMIZED: window->showMaximized(); break;
    case SW_MINIMIZE: window->showMinimized(); break;
    case SW_SHOW: window->show(); break;
    default: window->showNormal(); break;
    }
    return wasVisible;
}

BOOL IsZoomed(HWND window)
{
    return window && window->isMaximized() ? TRUE : FALSE;
}

BOOL GetWindowRect(HWND window, RECT* rect)
{
    if (!window || !rect)
        return FALSE;
    const QRect r = window->frameGeometry();
    *rect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint)
{
    if (!window)
        return FALSE;
    window->setGeometry(x, y, std::max(0, width), std::max(0, height));
    if (repaint)
        window->update();
    return TRUE;
}

BOOL GetCursorPos(POINT* point)
{
    if (!point)
        return FALSE;
    const QPoint p = QCursor::pos();
    *point = {p.x(), p.y()};
    return TRUE;
}

void PostQuitMessage(int code)
{
    CPaintManagerUI::PostQuitMessage(code);
}
