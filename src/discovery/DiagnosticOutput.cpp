#include "discovery/DiagnosticOutput.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* StreamName(int fd)
{
    switch (fd) {
    case STDOUT_FILENO: return "standard output";
    case STDERR_FILENO: return "standard error";
    default: return "the diagnostic output";
    }
}

bool ParseUnsigned(std::string_view text, unsigned long long& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

DiagnosticOutput::DiagnosticOutput(int fd)
    : m_fd(fd)
    , m_journal(IsJournalStream(fd, std::getenv("JOURNAL_STREAM")))
{
}

DiagnosticOutput& DiagnosticOutput::StandardOutput()
{
    // Built in static storage and never destroyed: no heap, nothing leaked,
    // and no static destructor that could run while a thread still writes.
    alignas(DiagnosticOutput) static unsigned char storage[sizeof(DiagnosticOutput)];
    static DiagnosticOutput* const instance = new (storage) DiagnosticOutput(STDOUT_FILENO);
    return *instance;
}

bool DiagnosticOutput::IsJournalStream(int fd, const char* journalStream)
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

bool DiagnosticOutput::HasFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

void DiagnosticOutput::Write(std::string_view line, Kind kind)
{
    if (m_journal && kind == Kind::kProgress)
        return;
    std::lock_guard lock(m_mutex);
    if (m_failed)
        return;
    if (m_dropped > 0) {
        char note[128];
        const int n = std::snprintf(note, sizeof note, "(%llu diagnostic lines dropped: %s was full)\n",
                                    static_cast<unsigned long long>(m_dropped), StreamName(m_fd));
        switch (WriteWhole(std::string_view(note, static_cast<std::size_t>(n)))) {
        case Outcome::kWritten: m_dropped = 0; break;
        case Outcome::kFull: ++m_dropped; return;
        case Outcome::kFailed: m_failed = true; return;
        }
    }
    switch (WriteWhole(line)) {
    case Outcome::kWritten: break;
    case Outcome::kFull: ++m_dropped; break;
    case Outcome::kFailed: m_failed = true; break;
    }
}

DiagnosticOutput::Outcome DiagnosticOutput::WriteWhole(std::string_view text)
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
