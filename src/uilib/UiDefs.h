#pragma once

#include <climits>
#include <cstdint>

class QWidget;

// The plain integer types and the message, style and show-command numbers the
// windows are written with. Values are the ones the program's windows and the
// discovery engine exchange; no platform header is involved.
using UINT = unsigned;
using DWORD = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using BOOL = int;

// A window handle is the window's top-level widget (GUI thread only).
using HWND = QWidget*;

struct RECT
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct POINT
{
    int x = 0;
    int y = 0;
};

// Window messages.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;      // 514
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;  // 515
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;  // 517
inline constexpr UINT WM_MBUTTONUP = 0x0208;  // 520
inline constexpr UINT WM_USER = 0x0400;

// System commands (wParam of WM_SYSCOMMAND).
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

// Window styles. Only the extended bits below change anything: the windows
// are always frameless and draw their own title band.
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000u;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008u;     // stays above other windows
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080u;  // no taskbar entry
inline constexpr int CW_USEDEFAULT = INT_MIN;           // 0x80000000: size from the skin

// Close codes.
inline constexpr UINT IDCANCEL_CODE = 0;
inline constexpr UINT IDOK_CODE = 1;

#ifndef TRUE
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
#endif

// lParam of a mouse message: x in the low 16 bits, y in the high 16 bits.
inline constexpr LPARAM MakeLParam(int low, int high)
{
    return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(low)) |
                               (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16));
}
