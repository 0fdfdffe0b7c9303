#include "app/TerminationSignals.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <windows.h>

// Windows has no termination signals. A logoff or shutdown reaches the
// windows as WM_QUERYENDSESSION and WM_ENDSESSION; Qt answers the first
// (its session manager) and the end of the session ends the event loop
// here, with code 0, so that the program leaves the way Exit leaves it.
// A console of its own (rare for a window program) sends Ctrl+C, Ctrl+Break
// and its closing to a handler thread, which ends the loop the same way.
// `taskkill` without /F closes the window, which hides it to the tray, as
// its close button does.

namespace {

class SessionEndFilter final : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        const auto* msg = static_cast<const MSG*>(message);
        if (type == "windows_generic_MSG" && msg->message == WM_ENDSESSION && msg->wParam)
            QCoreApplication::exit(0);
        return false;  // Qt's own handling goes on
    }
};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    // Runs on a thread of its own: the loop ends on the GUI thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    // The system ends the process when this returns from a close, logoff or
    // shutdown event: wait here, and the process ends once main returns.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

bool QuitMessageLoopOnTerminationSignals()
{
    static bool installed = false;
    if (installed)
        return true;
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    static SessionEndFilter filter;
    app->installNativeEventFilter(&filter);
    installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    return installed;
}

void IgnoreBrokenPipes() {}
