#pragma once

// SIGTERM, SIGHUP and SIGINT (logout, a closed terminal, Ctrl+C) end the
// event loop the way Exit does, so the program ends with code 0 and its
// tray icon goes away. Call once on the GUI thread after the QApplication
// exists; returns false when the signals could not be routed (they then
// keep their default action).
bool QuitMessageLoopOnTerminationSignals();
