#pragma once

#include "uilib/UiDefs.h"

// The handful of window-system calls the windows make, over Qt. All of them
// run on the GUI thread only; a null handle makes each return FALSE.

// SW_HIDE, SW_SHOWNORMAL, SW_SHOW, SW_SHOWMAXIMIZED, SW_MINIMIZE, SW_RESTORE,
// SW_SHOWDEFAULT. Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsZoomed(HWND window);
// Frame rectangle in screen coordinates; right and bottom are exclusive.
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetCursorPos(POINT* point);
// Ends CPaintManagerUI::MessageLoop with `code`. Safe from any thread.
void PostQuitMessage(int code);
