#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Written by the signal handler, read on the GUI thread: the only thing a
// handler may safely do is write a byte.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

bool QuitMessageLoopOnTerminationSignals()
{
    if (g_signalPipe[0] >= 0)
        return true;
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char drained[16];
        while (read(g_signalPipe[0], drained, sizeof drained) > 0) {}
        QCoreApplication::exit(0);
    });
    struct sigaction action
    {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool routed = true;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        routed = sigaction(signal, &action, nullptr) == 0 && routed;
    return routed;
}

void IgnoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}
