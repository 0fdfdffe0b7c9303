#include "app/StartupChecks.h"

#include <cstdlib>

// Whether an X11 or Wayland display is there (DisplayCheck_win.cpp: a
// Windows desktop always is).

bool DisplayAvailable(QString& why)
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    // A platform named on purpose (offscreen, vnc, ...) needs no display.
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return true;
    why = QStringLiteral("no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                         "vindrel-scan searches from a terminal");
    return false;
}
