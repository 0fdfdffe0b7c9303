// How long finding N servers takes: vindrel-scan --wait-for N (a whole
// process), the DiscoveryEngine in process, and a minimal receive loop (one
// probe, then recvfrom until N distinct senders) as the floor. Runs inside
// the lab (bench/run.sh, scripts/bench.sh), against N simulated servers.
// The loop and vindrel-scan are also timed from their first probe on the
// wire (korvan-sim's probe log) to the end; those figures go to standard
// error as "result KEY VALUE" lines.

#include "discovery/DiscoveryEngine.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepeats = 5;
constexpr auto kGiveUp = std::chrono::seconds(20);

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The first probe korvan-sim heard on link 1 at or after `since` (unix
// seconds); 0 when none.
double FirstProbeSince(double since)
{
    const char* dir = std::getenv("VINDREL_LAB_DIR");
    std::ifstream log(std::string(dir ? dir : ".") + "/probes-1.log");
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        double t = 0;
        if (fields >> t && t >= since)
            return t;
    }
    return 0;
}

// Seconds from the first probe on the wire after `since` until now; negative
// when there was none.
double SinceFirstProbe(double since)
{
    const double now = UnixNow();
    const double probe = FirstProbeSince(since);
    return probe > 0 ? now - probe : -1;
}

struct Timing
{
    double total = -1;      // from the start of the attempt
    double fromProbe = -1;  // from its first probe on the wire
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// One probe from the lab's host address, then receive until `n` distinct
// senders are heard. Negative when it gives up.
Timing MinimalReceiveLoop(const std::string& hostAddr, std::size_t n)
{
    const int listener = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    const int bytes = 4 * 1024 * 1024;
    setsockopt(listener, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(6000);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("bench: bind 6000");
        std::exit(1);
    }
    timeval timeout{1, 0};
    setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    const int prober = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    const int on = 1;
    setsockopt(prober, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, hostAddr.c_str(), &from.sin_addr);
    bind(prober, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(6001);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    const std::string probe = ProbePayload(1);
    const double beginUnix = UnixNow();
    const auto begin = Clock::now();
    sendto(prober, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    std::set<std::uint32_t> senders;
    char buffer[2048];
    while (senders.size() < n && Clock::now() - begin < kGiveUp) {
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        if (recvfrom(listener, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length) > 0)
            senders.insert(sender.sin_addr.s_addr);
    }
    const double took = Seconds(Clock::now() - begin);
    const double fromProbe = SinceFirstProbe(beginUnix);
    close(prober);
    close(listener);
    if (senders.size() < n)
        return {};
    return {took, fromProbe};
}

Timing ScanProcess(std::size_t n)
{
    const std::string command = std::string(VINDREL_BIN_DIR) + "/vindrel-scan --json --seconds 20 --wait-for " +
                                std::to_string(n) + " >/dev/null";
    const double beginUnix = UnixNow();
    const auto begin = Clock::now();
    const int status = std::system(command.c_str());
    const double took = Seconds(Clock::now() - begin);
    const double fromProbe = SinceFirstProbe(beginUnix);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return {took, fromProbe};
}

// A fresh engine each time: Stop (in its destructor) frees port 6000.
double EngineInProcess(std::size_t n)
{
    DiscoveryOptions options;
    options.diagnostics = [](std::string_view) {};
    auto queue = std::make_shared<ServerQueue>();
    std::set<std::u16string> ips;
    DiscoveryEngine engine(options);
    const auto begin = Clock::now();
    engine.Start(queue);
    const auto giveUp = begin + kGiveUp;
    while (ips.size() < n && queue->WaitUntilNonEmpty(giveUp)) {
        for (const ServerSighting& s : queue->Take())
            ips.insert(s.record.IP);
    }
    const bool found = ips.size() >= n;
    const double took = Seconds(Clock::now() - begin);
    return found ? took : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* lab = std::getenv("VINDREL_LAB_HOST_ADDRS");
    if (argc != 2 || !lab || !*lab) {
        std::fprintf(stderr, "usage: bench_discovery N   (inside the lab: bench/run.sh)\n");
        return 2;
    }
    const std::size_t n = std::strtoul(argv[1], nullptr, 10);
    std::string hostAddr(lab);
    hostAddr = hostAddr.substr(0, hostAddr.find(' '));

    std::vector<double> loop, loopFromProbe, scan, scanFromProbe, engine;
    for (int i = 0; i < kRepeats; ++i) {
        const Timing t = MinimalReceiveLoop(hostAddr, n);
        loop.push_back(t.total);
        loopFromProbe.push_back(t.fromProbe);
    }
    for (int i = 0; i < kRepeats; ++i) {
        const Timing t = ScanProcess(n);
        scan.push_back(t.total);
        scanFromProbe.push_back(t.fromProbe);
    }
    for (int i = 0; i < kRepeats; ++i)
        engine.push_back(EngineInProcess(n));
    std::printf("%6zu servers: receive loop %8.4f s | DiscoveryEngine %8.4f s | vindrel-scan process %8.4f s  (median "
                "of %d; -1 = not all found)\n",
                n, Median(loop), Median(engine), Median(scan), kRepeats);
    std::fprintf(stderr,
                 "result loop_s %.4f\nresult loop_from_probe_s %.4f\nresult engine_s %.4f\n"
                 "result scan_s %.4f\nresult scan_from_probe_s %.4f\n",
                 Median(loop), Median(loopFromProbe), Median(engine), Median(scan), Median(scanFromProbe));
    return 0;
}
