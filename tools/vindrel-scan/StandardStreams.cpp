#include "StandardStreams.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int PrepareStandardStreams()
{
    std::signal(SIGPIPE, SIG_IGN);
    int stdoutError = 0;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (fd == STDOUT_FILENO)
            stdoutError = EBADF;
        const int null = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
    return stdoutError;
}

std::string EngineErrorText(int error)
{
    return std::strerror(error);
}
