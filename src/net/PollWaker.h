#pragma once

#include "net/SocketApi.h"

#include <algorithm>
#include <chrono>
#include <vector>

// Wakes a thread that waits in poll(): an eventfd that any thread may
// signal (PollWaker_win.cpp: a loopback UDP socket that sends itself a
// byte, waited for with WSAPoll). The waiting thread lists the descriptors
// it serves and learns whether it was woken; it then rereads whatever flags
// the waker set.
class PollWaker final
{
public:
    PollWaker();
    ~PollWaker();
    PollWaker(const PollWaker&) = delete;
    PollWaker& operator=(const PollWaker&) = delete;

    // Any thread; never blocks. A signal stays pending until the next Wait.
    void Notify();

    // The waiting thread: polls `fds` (their revents are set) and the event
    // for at most `timeoutMs` (-1: no limit). True when it was signalled,
    // false on a timeout or a ready descriptor. Without its descriptor (the
    // system refused one) it waits in slices of kFallbackSliceMs and
    // answers true after each, so that callers still notice their flags.
    bool Wait(std::vector<pollfd>& fds, int timeoutMs);
    bool Wait(int timeoutMs);

    static constexpr int kFallbackSliceMs = 50;

    // A poll() timeout that ends no earlier than `deadline`: milliseconds
    // rounded up, 0 when it has passed, at most a minute.
    static int TimeoutUntil(std::chrono::steady_clock::time_point deadline)
    {
        const auto now = std::chrono::steady_clock::now();
        if (deadline <= now)
            return 0;
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
        return static_cast<int>(std::min<long long>((us + 999) / 1000, 60000));
    }

private:
    SocketHandle m_fd = kNoSocket;
};
