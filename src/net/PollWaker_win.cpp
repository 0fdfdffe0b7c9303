#include "net/PollWaker.h"

#include "net/LoopbackSignal_win.h"

#include <algorithm>
#include <windows.h>

// NOTE: an event object would be the natural waker, but WSAPoll waits for
// sockets only; WSAEventSelect would make the served sockets non-blocking
// and tie them to one event. A loopback socket that sends itself a byte
// wakes WSAPoll within milliseconds (5-9 ms measured under Wine).

PollWaker::PollWaker()
    : m_fd(OpenLoopbackSignal())
{
}

PollWaker::~PollWaker()
{
    if (m_fd != kNoSocket)
        closesocket(m_fd);
}

void PollWaker::Notify()
{
    SendLoopbackSignal(m_fd);
}

bool PollWaker::Wait(std::vector<pollfd>& fds, int timeoutMs)
{
    const bool fallback = m_fd == kNoSocket;
    if (fallback && (timeoutMs < 0 || timeoutMs > kFallbackSliceMs))
        timeoutMs = kFallbackSliceMs;
    for (pollfd& p : fds)
        p.revents = 0;
    // WSAPoll refuses an empty set and an invalid socket: without the
    // waker and without sockets, this is a sleep.
    if (!fallback)
        fds.push_back({m_fd, POLLIN, 0});
    if (fds.empty()) {
        Sleep(static_cast<DWORD>(std::max(timeoutMs, 0)));
        return true;
    }
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
    const bool signalled = !fallback && ready > 0 && (fds.back().revents & (POLLIN | POLLERR | POLLHUP));
    if (!fallback)
        fds.pop_back();
    if (ready == SOCKET_ERROR) {
        // A passing shortage: the caller looks at its flags and waits
        // again. Nothing is ready, so clear what WSAPoll may have left.
        for (pollfd& p : fds)
            p.revents = 0;
        return true;
    }
    if (signalled) {
        DrainLoopbackSignal(m_fd);
        return true;
    }
    return fallback && ready == 0;
}

bool PollWaker::Wait(int timeoutMs)
{
    std::vector<pollfd> none;
    return Wait(none, timeoutMs);
}
