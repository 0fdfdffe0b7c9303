#pragma once

// Lowers the calling thread's scheduling priority, so that discovery gives
// way to everything else the user runs. Failing leaves it as it was.
// ThreadPriority.cpp: setpriority; ThreadPriority_win.cpp: SetThreadPriority.
void LowerCallingThreadPriority();
