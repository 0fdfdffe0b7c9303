#include "net/ThreadPriority.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kPriorityDrop = 10;  // nice steps below the process

}  // namespace

void LowerCallingThreadPriority()
{
    // On Linux a thread id is a process id for setpriority: this lowers the
    // calling thread only.
    const pid_t tid = gettid();
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0)
        return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), std::min(19, current + kPriorityDrop));
}
