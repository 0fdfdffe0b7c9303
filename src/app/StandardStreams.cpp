#include "app/StartupChecks.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// POSIX: descriptors 0 to 2 are reused by the next open (StandardStreams_win.cpp:
// Windows hands out no such numbers).

void KeepStandardStreamsOpen()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is the one just found closed.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd)
            ::close(opened);
    }
}
