#include "StandardStreams.h"

#include "base/ErrorText.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

bool HasStream(int fd)
{
    // -2: the process has no such stream (nothing was attached to it).
    const intptr_t handle = _get_osfhandle(fd);
    return handle != -1 && handle != -2;
}

}  // namespace

int PrepareStandardStreams()
{
    // Closed streams need no stand-in: a socket is never a C runtime
    // descriptor on Windows. There is no SIGPIPE either; a write to a pipe
    // whose reader went away just fails.
    const bool hasOutput = HasStream(_fileno(stdout));
    if (hasOutput)
        _setmode(_fileno(stdout), _O_BINARY);
    if (HasStream(_fileno(stderr)))
        _setmode(_fileno(stderr), _O_BINARY);
    return hasOutput ? 0 : EBADF;
}

std::string EngineErrorText(int error)
{
    return ErrorText(error);
}
