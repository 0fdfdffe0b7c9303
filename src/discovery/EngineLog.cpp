#include "discovery/EngineLog.h"

#include <cstdio>
#include <cstdlib>
#include <new>
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

}  // namespace

EngineLog::EngineLog(int fd)
    : m_fd(fd)
    , m_journal(IsJournalStream(fd, std::getenv("JOURNAL_STREAM")))
{
}

EngineLog& EngineLog::StandardOutput()
{
    // Built in static storage and never destroyed: no heap, nothing leaked,
    // and no static destructor that could run while a thread still writes.
    alignas(EngineLog) static unsigned char storage[sizeof(EngineLog)];
    static EngineLog* const instance = new (storage) EngineLog(STDOUT_FILENO);
    return *instance;
}

bool EngineLog::HasFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

void EngineLog::Write(std::string_view line, Kind kind)
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
