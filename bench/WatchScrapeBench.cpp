// One scrape of an agent that knows N servers (default 5000): the time and
// bytes of /metrics and /targets as the HTTP thread makes them (the tracker's
// snapshot, then the text), beside plain vindrel-scan's --json of the same
// servers. In process, no network: the tracker is fed made-up sightings.
// Usage: bench_watch_scrape [N]

#include "actions/ServerExport.h"
#include "book/ServerTracker.h"
#include "discovery/ServerQueue.h"
#include "watch/MetricsText.h"
#include "watch/TargetsJson.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::u16string U16(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

template <typename F>
double MedianMs(F&& f, int rounds = 21)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        f();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    std::vector<ServerSighting> sightings;
    std::vector<ServerRecord> records;
    for (int i = 0; i < count; ++i) {
        ServerSighting s;
        const std::string n = std::to_string(i);
        s.record.Name = U16("KORVAN-" + n);
        s.record.IP = U16("10." + std::to_string(20 + i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                          std::to_string(i % 256));
        s.record.Port = u"80";
        s.record.Version = u"2.1.4";
        s.record.Serial = U16("KS" + n);
        s.record.Mac = u"2A-61-23-AA-7A-3F";
        s.record.DeviceType = u"K4-NAS";
        s.record.KorvanID = U16("KV-" + n);
        s.record.UpTime = u"12d 03:04";
        records.push_back(s.record);
        sightings.push_back(std::move(s));
    }
    ServerTracker tracker;
    tracker.Observe(sightings, std::chrono::system_clock::now());
    EngineStatus engine;
    engine.adapters = {{"eth0", "10.20.0.1", 16, 2, 1000, 0, 0, 500000}};
    engine.listener.state = ListenerStatus::State::kListening;

    std::size_t metricsBytes = 0, targetsBytes = 0, jsonBytes = 0;
    // What the agent does: the cache follows the tracker's changes, a scrape
    // formats from it. And from scratch, as a first scrape after a start.
    MetricsCache cache;
    for (const KnownServer& known : tracker.Known())
        cache.Update(known);
    const double metricsMs = MedianMs([&] { metricsBytes = cache.Format(engine).size(); });
    const double coldMs = MedianMs([&] { (void)FormatMetrics(tracker.Known(), engine).size(); });
    // A round of replies from every server (last seen moves, nothing else).
    const double updateMs = MedianMs([&] {
        for (const KnownServer& known : tracker.Known())
            cache.Update(known);
    });
    const double targetsMs = MedianMs([&] { targetsBytes = FormatTargets(tracker.Known()).size(); });
    const double snapshotMs = MedianMs([&] { (void)tracker.Known().size(); });
    const double jsonMs = MedianMs([&] { jsonBytes = FormatJson(records).size(); });
    std::printf("%d servers, median of 21 rounds:\n", count);
    std::printf("  /metrics   %7.2f ms  %9zu bytes (%.2f MB)  one scrape, as the agent serves it\n", metricsMs,
                metricsBytes, metricsBytes / 1e6);
    std::printf("  /metrics   %7.2f ms  from scratch (first scrape; of it the tracker's snapshot %.2f ms)\n", coldMs,
                snapshotMs);
    std::printf("  cache      %7.2f ms  to follow a reply from every server (snapshot included)\n", updateMs);
    std::printf("  /targets   %7.2f ms  %9zu bytes (%.2f MB)\n", targetsMs, targetsBytes, targetsBytes / 1e6);
    std::printf("  reference: vindrel-scan --json of the same servers %.2f ms, %zu bytes; /metrics is %.2fx its time\n",
                jsonMs, jsonBytes, metricsMs / jsonMs);
    const bool ok = metricsMs <= 10.0 && metricsBytes <= 2000000;
    std::printf("  budget: one scrape <= 10 ms and <= 2 MB: %s\n", ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
