#include "discovery/EngineLog.h"

#include <condition_variable>
#include <deque>
#include <io.h>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <windows.h>

// The stream side of EngineLog on Windows. A pipe there cannot say
// whether a write would block, and a console blocks every write while a
// person selects text in it: so each descriptor gets one writer thread that
// does the blocking WriteFile calls, and a line is handed to it only while
// less than kMostWaiting bytes wait (about what a pipe holds on Linux);
// otherwise it is dropped and counted, as a full pipe's line is there.
// There is no journal on Windows.

namespace {

constexpr std::size_t kMostWaiting = 64 * 1024;

enum class Offer { kTaken, kFull, kFailed };

class StreamWriter final
{
public:
    explicit StreamWriter(int fd)
        : m_handle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)))
    {
        // A program without a console (the window) has no standard output
        // unless someone redirected it: nothing to write to.
        m_failed = m_handle == INVALID_HANDLE_VALUE || m_handle == nullptr ||
                   m_handle == reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));
    }

    Offer Take(std::string_view text)
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return Offer::kFailed;
        if (m_waitingBytes + text.size() > kMostWaiting)
            return Offer::kFull;
        if (!m_started) {
            // Detached: it may sit in a blocked write when the process ends,
            // which ends it; it owns nothing that needs closing.
            try {
                std::thread([this] { Run(); }).detach();
            } catch (const std::system_error&) {
                m_failed = true;
                return Offer::kFailed;
            }
            m_started = true;
        }
        m_waiting.emplace_back(text);
        m_waitingBytes += text.size();
        m_changed.notify_one();
        return Offer::kTaken;
    }

private:
    void Run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return !m_waiting.empty(); });
            const std::string line = std::move(m_waiting.front());
            m_waiting.pop_front();
            lock.unlock();
            const bool written = WriteWhole(line);
            lock.lock();
            m_waitingBytes -= line.size();
            if (!written) {
                // A reader that went away, a full disk: no more writing.
                m_failed = true;
                m_waiting.clear();
                m_waitingBytes = 0;
                return;
            }
        }
    }

    bool WriteWhole(std::string_view text) const
    {
        while (!text.empty()) {
            DWORD written = 0;
            if (!WriteFile(m_handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0)
                return false;
            text.remove_prefix(written);
        }
        return true;
    }

    const HANDLE m_handle;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_waiting;
    std::size_t m_waitingBytes = 0;
    bool m_started = false;
    bool m_failed = false;
};

// One writer per descriptor for the whole process.
struct Writers
{
    std::mutex mutex;
    std::map<int, std::unique_ptr<StreamWriter>> byDescriptor;
};

StreamWriter& WriterFor(int fd)
{
    // Built in static storage and never destroyed, as StandardOutput is: a
    // writer thread may still write while the process exits.
    alignas(Writers) static unsigned char storage[sizeof(Writers)];
    static Writers* const writers = new (storage) Writers;
    std::lock_guard lock(writers->mutex);
    std::unique_ptr<StreamWriter>& writer = writers->byDescriptor[fd];
    if (!writer)
        writer = std::make_unique<StreamWriter>(fd);
    return *writer;
}

}  // namespace

bool EngineLog::IsJournalStream(int, const char*)
{
    return false;
}

EngineLog::Outcome EngineLog::WriteWhole(std::string_view text)
{
    switch (WriterFor(m_fd).Take(text)) {
    case Offer::kTaken: return Outcome::kWritten;
    case Offer::kFull: return Outcome::kFull;
    case Offer::kFailed: break;
    }
    return Outcome::kFailed;
}
