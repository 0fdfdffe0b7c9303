#pragma once

#include <cstdint>

// The receiving end of a synchronous window message, seen from code that must
// not know about any UI toolkit (the discovery engine). The Qt window layer
// implements it for real windows; command-line tools implement it directly.
class IMessageTarget
{
public:
    // Delivers `message` and returns only when the receiver has handled it, so
    // pointers passed in wParam stay valid for exactly that long. Callable from
    // any thread; the receiver decides which thread runs the handler. Returns
    // the handler's result, or 0 when the receiver is gone (never blocks then).
    virtual std::intptr_t SendMessageW(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;

protected:
    ~IMessageTarget() = default;
};

// Window messages of the program's own.
namespace WindowMessage {
inline constexpr unsigned kDestroy = 2;
inline constexpr unsigned kMouseMove = 0x0200;
inline constexpr unsigned kTrayNotify = 1025;   // WM_USER + 1, lParam = mouse message
inline constexpr unsigned kMenuCommand = 1145;  // wParam = library-allocated command record
inline constexpr unsigned kServerFound = 3024;  // wParam = const ServerRecord*, lParam = 0
inline constexpr unsigned kLeftButtonUp = 514;
inline constexpr unsigned kRightButtonUp = 517;
}  // namespace WindowMessage
