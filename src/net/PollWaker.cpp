#include "net/PollWaker.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

PollWaker::PollWaker()
    : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

PollWaker::~PollWaker()
{
    if (m_fd >= 0)
        close(m_fd);
}

void PollWaker::Notify()
{
    if (m_fd < 0)
        return;
    const std::uint64_t one = 1;
    // EAGAIN only when the counter is saturated, which still wakes the waiter.
    (void)!write(m_fd, &one, sizeof one);
}

bool PollWaker::Wait(std::vector<pollfd>& fds, int timeoutMs)
{
    const bool fallback = m_fd < 0;
    if (fallback && (timeoutMs < 0 || timeoutMs > kFallbackSliceMs))
        timeoutMs = kFallbackSliceMs;
    fds.push_back({m_fd, POLLIN, 0});
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    const bool signalled = !fallback && ready > 0 && (fds.back().revents & POLLIN);
    fds.pop_back();
    if (ready < 0) {
        // EINTR or a passing shortage: the caller looks at its flags and
        // waits again. Nothing is ready, so clear what poll may have left.
        for (pollfd& p : fds)
            p.revents = 0;
        return true;
    }
    if (signalled) {
        std::uint64_t count = 0;
        (void)!read(m_fd, &count, sizeof count);
        return true;
    }
    return fallback && ready == 0;
}

bool PollWaker::Wait(int timeoutMs)
{
    std::vector<pollfd> none;
    return Wait(none, timeoutMs);
}
