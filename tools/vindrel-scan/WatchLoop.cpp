#include "WatchLoop.h"

#include "ScanOptions.h"
#include "StandardStreams.h"
#include "base/LocaleText.h"
#include "book/ServerBook.h"
#include "book/ServerTracker.h"
#include "discovery/DiscoveryEngine.h"
#include "discovery/ServerQueue.h"
#include "watch/MetricsServer.h"
#include "watch/MetricsText.h"
#include "watch/TargetsJson.h"
#include "watch/WatchEventJson.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::system_clock;
using namespace std::chrono_literals;

volatile std::sig_atomic_t g_stop = 0;

extern "C" void RequestStop(int)
{
    g_stop = 1;
}

// How often the loop takes replies: the queue merges a server's replies in
// the meantime, so the cost follows the number of servers, not the replies.
constexpr auto kDrainInterval = 100ms;
// How often an HTTP port that could not be bound is tried again.
constexpr auto kMetricsRetry = 10s;

// The tracker and the engine as the HTTP thread sees them.
struct Shared
{
    std::mutex mutex;  // guards the tracker and the metrics
    ServerTracker tracker;
    MetricsCache metrics;  // follows the tracker's changes
    DiscoveryEngine* engine = nullptr;

    explicit Shared(TrackerOptions options) : tracker(options) {}

    std::vector<KnownServer> Known()
    {
        std::lock_guard lock(mutex);
        return tracker.Known();
    }
};

// The address an event line names: where the server answers, or for one gone
// silent where it was last heard.
std::string EventAddress(const ServerEvent& e, const ServerTracker& tracker)
{
    switch (e.kind) {
    case ServerEvent::Kind::kFound:
    case ServerEvent::Kind::kMoved:
    case ServerEvent::Kind::kBack:
    case ServerEvent::Kind::kConflict:
        return e.to;
    case ServerEvent::Kind::kSilent:
        return e.from;
    default:
        if (const auto known = tracker.Find(e.id))
            return known->lastAddress;
        return ToUtf8(e.fields.IP);
    }
}

class EventWriter
{
public:
    explicit EventWriter(std::FILE* out) : m_out(out) {}

    // One line per event; made under the tracker's lock, written outside
    // it, so that a slow reader of the lines never holds up a scrape.
    static std::vector<std::string> Lines(const std::vector<ServerEvent>& events, const ServerTracker& tracker)
    {
        std::vector<std::string> lines;
        for (const ServerEvent& e : events)
            lines.push_back(FormatWatchEvent(
                {EventKindName(e.kind), e.at, e.id, EventAddress(e, tracker), e.from, e.to, e.fields}));
        return lines;
    }

    // false once a line could not be written (said on standard error).
    bool Write(const std::vector<std::string>& lines)
    {
        for (const std::string& line : lines) {
            errno = 0;
            // Flushed per line, so that a pipe to jq or the journal sees each event as it happens.
            if (std::fwrite(line.data(), 1, line.size(), m_out) != line.size() || std::fflush(m_out) != 0) {
                const int error = errno != 0 ? errno : EIO;
                std::fprintf(stderr, "vindrel-scan: cannot write to standard output: %s\n", std::strerror(error));
                return false;
            }
        }
        return true;
    }

private:
    std::FILE* m_out;
};

// The HTTP side, tried again while its port cannot be bound.
class Metrics
{
public:
    Metrics(const std::optional<ListenAddress>& address, Shared& shared) : m_address(address), m_shared(shared) {}

    void Poll(std::chrono::steady_clock::time_point now)
    {
        if (!m_address || m_serving || now < m_nextTry)
            return;
        m_nextTry = now + kMetricsRetry;
        if (!MetricsServer::Available()) {
            std::fprintf(stderr, "vindrel-scan: --metrics is not available on this system yet; watching without it\n");
            m_address.reset();
            return;
        }
        m_serving = m_server.Start(*m_address, [this](std::string_view path) { return Page(path); });
        if (m_serving && m_saidError)
            std::fprintf(stderr, "vindrel-scan: serving HTTP on %s now\n", m_address->text.c_str());
        else if (!m_serving && !m_saidError)
            std::fprintf(stderr, "vindrel-scan: %s; trying again every %d s\n", m_server.Error().c_str(),
                         static_cast<int>(kMetricsRetry.count()));
        m_saidError = m_saidError || !m_serving;
    }

    void Stop() { m_server.Stop(); }

private:
    // On the HTTP thread.
    std::optional<MetricsServer::Page> Page(std::string_view path)
    {
        if (path == "/metrics") {
            const EngineStatus engine = m_shared.engine->Status();
            std::lock_guard lock(m_shared.mutex);
            return MetricsServer::Page{m_shared.metrics.Format(engine), kMetricsContentType};
        }
        if (path == "/targets")
            return MetricsServer::Page{FormatTargets(m_shared.Known()), kTargetsContentType};
        return std::nullopt;
    }

    std::optional<ListenAddress> m_address;
    Shared& m_shared;
    MetricsServer m_server;
    bool m_serving = false;
    bool m_saidError = false;
    std::chrono::steady_clock::time_point m_nextTry{};
};

// Says once what keeps the engine from hearing anything, and when it recovers.
class ListenerWatch
{
public:
    void Poll(const EngineStatus& status)
    {
        if (status.noAddresses && !m_saidNoAddress)
            std::fprintf(stderr, "vindrel-scan: no network interface with an IPv4 address is up yet; waiting\n");
        m_saidNoAddress = status.noAddresses;
        const bool listening = status.listener.state == ListenerStatus::State::kListening;
        if (!listening && status.listener.state != ListenerStatus::State::kStarting &&
            status.listener.state != ListenerStatus::State::kNotStarted && !m_said) {
            std::fprintf(stderr, "vindrel-scan: cannot listen on UDP port 6000: %s; trying again\n",
                         status.listener.state == ListenerStatus::State::kPortInUse
                             ? "another program holds it"
                             : EngineErrorText(status.listener.error).c_str());
            m_said = true;
        } else if (listening && m_said) {
            std::fprintf(stderr, "vindrel-scan: listening on UDP port 6000 now\n");
            m_said = false;
        }
    }

private:
    bool m_said = false;
    bool m_saidNoAddress = false;
};

}  // namespace

int RunWatch(const ScanOptions& o, std::FILE* events)
{
    g_stop = 0;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);

    TrackerOptions trackerOptions;
    trackerOptions.silentAfter = std::chrono::seconds(o.silentAfter);
    Shared shared(trackerOptions);

    std::unique_ptr<ServerBook> book;
    if (o.stateFile) {
        BookOptions bookOptions;
        bookOptions.path = *o.stateFile;
        // Called on the book's thread; standard error takes whole lines.
        bookOptions.onStateChange = [](const BookState& state) {
            if (state.status == BookState::Status::kUnavailable)
                std::fprintf(stderr, "vindrel-scan: the server book is unavailable: %s; watching without it\n",
                             state.reason.c_str());
        };
        book = std::make_unique<ServerBook>(std::move(bookOptions));
        shared.tracker.Restore(book->Load().get(), Clock::now());
        for (const KnownServer& known : shared.tracker.Known())
            shared.metrics.Update(known);
    }

    DiscoveryOptions engineOptions;
    engineOptions.targets = o.targets;
    engineOptions.interfaces = o.interfaces;
    engineOptions.diagnostics = [](std::string_view) {};
    auto queue = std::make_shared<ServerQueue>();
    DiscoveryEngine engine(std::move(engineOptions));
    shared.engine = &engine;
    engine.Start(queue);

    Metrics metrics(o.metrics, shared);
    ListenerWatch listener;
    EventWriter writer(events);
    int exitCode = 0;
    while (!g_stop) {
        queue->WaitUntilNonEmpty(std::chrono::steady_clock::now() + 1s);
        const auto steadyNow = std::chrono::steady_clock::now();
        const Clock::time_point now = Clock::now();
        const std::vector<ServerSighting> sightings = queue->Take();
        std::vector<ServerEvent> happened;
        std::vector<KnownServer> changed;
        std::vector<std::string> lines;
        {
            std::lock_guard lock(shared.mutex);
            if (!sightings.empty())
                happened = shared.tracker.Observe(sightings, now);
            // Every turn, cheap when nothing is due: a server goes silent
            // within a drain interval of its threshold.
            std::vector<ServerEvent> due = shared.tracker.Tick(now);
            happened.insert(happened.end(), due.begin(), due.end());
            changed = shared.tracker.TakeChanged();
            for (const KnownServer& known : changed)
                shared.metrics.Update(known);
            lines = EventWriter::Lines(happened, shared.tracker);
        }
        const bool written = writer.Write(lines);
        if (book && (!happened.empty() || !changed.empty()))
            book->Record(std::move(happened), std::move(changed));
        if (!written) {
            exitCode = 1;
            break;
        }
        metrics.Poll(steadyNow);
        listener.Poll(engine.Status());
        std::this_thread::sleep_for(kDrainInterval);
    }
    metrics.Stop();
    engine.Stop();
    return exitCode;
}
