#pragma once

// SIGTERM, SIGHUP and SIGINT (logout, a closed terminal, Ctrl+C) end the
// event loop the way Exit does, so the program ends with code 0 and its
// tray icon goes away. On Windows (TerminationSignals_win.cpp): the end of
// the session (WM_ENDSESSION) and a console's control events. Call once on the GUI thread after the QApplication
// exists; returns false when the signals could not be routed (they then
// keep their default action).
bool QuitMessageLoopOnTerminationSignals();

// Writing to a pipe whose reader went away fails instead of ending the
// program (SIGPIPE ignored). Nothing to do on Windows, where such a write
// just fails.
void IgnoreBrokenPipes();
