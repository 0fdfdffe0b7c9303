#include "discovery/EngineLog.h"

#include <cerrno>
#include <charconv>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

// The stream side of EngineLog on POSIX: writes that poll() says the
// descriptor takes now, and the journal's device and inode.

namespace {

bool ParseUnsigned(std::string_view text, unsigned long long& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool EngineLog::IsJournalStream(int fd, const char* journalStream)
{
    if (!journalStream)
        return false;
    const std::string_view text(journalStream);
    const auto colon = text.find(':');
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (colon == std::string_view::npos || !ParseUnsigned(text.substr(0, colon), device) ||
        !ParseUnsigned(text.substr(colon + 1), inode))
        return false;
    struct stat info
    {};
    if (fstat(fd, &info) != 0)
        return false;
    return static_cast<unsigned long long>(info.st_dev) == device &&
           static_cast<unsigned long long>(info.st_ino) == inode;
}

EngineLog::Outcome EngineLog::WriteWhole(std::string_view text)
{
    bool started = false;
    while (!text.empty()) {
        pollfd p{m_fd, POLLOUT, 0};
        const int ready = poll(&p, 1, 0);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (p.revents & (POLLERR | POLLNVAL)))
            return Outcome::kFailed;
        if (ready == 0 || !(p.revents & POLLOUT)) {
            // A reader that hung up is a failure; a full pipe means not now.
            // A line already cut in two (a pipe takes a short line whole,
            // so only odd files do that) could not be finished without
            // mixing into the next one: the output is spoilt, stop.
            if ((p.revents & POLLHUP) || started)
                return Outcome::kFailed;
            return Outcome::kFull;
        }
        const ssize_t n = write(m_fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Someone else made the descriptor non-blocking and it is full.
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && !started)
                return Outcome::kFull;
            return Outcome::kFailed;
        }
        started = true;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return Outcome::kWritten;
}
