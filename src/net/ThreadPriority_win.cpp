#include "net/ThreadPriority.h"

#include <windows.h>

void LowerCallingThreadPriority()
{
    // Two steps below normal, about what ten nice steps are on Linux.
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
}
