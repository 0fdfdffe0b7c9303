#include "app/StartupChecks.h"

// A Windows program always has a desktop to show its window on (a service
// has none, but nobody starts the window as one).

bool DisplayAvailable(QString&)
{
    return true;
}
