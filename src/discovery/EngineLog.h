#pragma once

#include <cstdint>
#include <mutex>
#include <string_view>

// The engine's log: its diagnostic lines, written to a file descriptor in a way that
// can never hurt the program: a discovery thread must not block on a full
// pipe, die of SIGPIPE (the front ends ignore it) or keep writing into an
// error.
//
// - Each line is one write(2), and only when poll() says the descriptor
//   takes it now; a line that cannot be written now is dropped and counted,
//   and the next line that gets through is preceded by one line that says
//   how many were lost.
// - A failed write (EPIPE, ENOSPC, any error) ends all writing for good.
// - When the descriptor is the systemd journal (JOURNAL_STREAM names it),
//   the per-datagram and per-probe lines are left out; a journal keeps
//   them for weeks. Errors are still written.
// Elsewhere (terminal, file, pipe) every line is written exactly as given.
//
// Thread-safe; the descriptor is not owned and must stay open.
class EngineLog final
{
public:
    enum class Kind {
        kProgress,  // one per datagram or probe
        kError,     // something failed
    };

    // Reads JOURNAL_STREAM now.
    explicit EngineLog(int fd);
    EngineLog(const EngineLog&) = delete;
    EngineLog& operator=(const EngineLog&) = delete;

    // The process's standard output. Never destroyed, so that it serves
    // threads that are still stopping while the process exits.
    static EngineLog& StandardOutput();

    // `line` as formatted, line end included where it has one; it should be
    // shorter than PIPE_BUF so that a pipe takes it whole.
    void Write(std::string_view line, Kind kind);

    bool HasFailed() const;
    bool IsJournal() const { return m_journal; }

    // Whether `journalStream` ("<device>:<inode>", as systemd sets
    // JOURNAL_STREAM) names the file behind `fd`. Null or malformed: no.
    static bool IsJournalStream(int fd, const char* journalStream);

private:
    enum class Outcome { kWritten, kFull, kFailed };
    Outcome WriteWhole(std::string_view text);

    const int m_fd;
    const bool m_journal;
    mutable std::mutex m_mutex;
    bool m_failed = false;
    std::uint64_t m_dropped = 0;
};
