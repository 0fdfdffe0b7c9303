#pragma once

#include "discovery/DiscoveryEngine.h"
#include "discovery/ServerQueue.h"
#include "discovery/ServerRecord.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What scripts/netlab.sh built, read from its environment and files.
struct LabServer
{
    int link = 0;
    std::string ip;
    std::u16string mac;  // as FormatMac writes it
};

struct LabProbe
{
    double time = 0;  // unix time, seconds
    std::string sourceIp;
    int sourcePort = 0;
    std::string payload;
};

struct Lab
{
    std::string dir;
    std::vector<std::string> interfaces;
    std::vector<std::string> hostAddrs;
    std::vector<std::string> serverNamespaces;  // one per link
    std::vector<LabServer> servers;

    static Lab FromEnvironment();
    std::vector<LabProbe> Probes(int link) const;
};

double UnixNow();

// A UDP socket bound to port 6000 on every address, as another program would
// hold it: its descriptor for the caller to close, or -1 with errno set.
int BindReplyPort();

// Whether `condition` comes true within `timeout`, asked every 50 ms: for
// what the lab's files show (probe logs), which nothing signals.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// A window stand-in that keeps every sighting handed over, with its arrival:
// a thread of its own drains the queue the engine pushes into.
class RecordingTarget final
{
public:
    struct Arrival
    {
        std::chrono::steady_clock::time_point at;
        ServerRecord record;
        unsigned interfaceIndex = 0;
        std::uint32_t localAddress = 0;
    };

    RecordingTarget();
    ~RecordingTarget();
    const std::shared_ptr<ServerQueue>& Queue() const { return m_queue; }
    std::vector<Arrival> Arrivals() const;
    // Waits until `done(arrivals)` holds or `timeout` passes; returns whether it held.
    bool WaitUntil(const std::function<bool(const std::vector<Arrival>&)>& done, std::chrono::milliseconds timeout);

private:
    std::shared_ptr<ServerQueue> m_queue = std::make_shared<ServerQueue>(65536, ServerQueue::Merge::kNone);
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Arrival> m_arrivals;
    bool m_stop = false;
    std::thread m_drain;
};

using Arrivals = std::vector<RecordingTarget::Arrival>;
bool HasIp(const Arrivals& arrivals, const std::string& ip);
bool HasEveryServer(const Arrivals& arrivals, const Lab& lab);
// The first record from `ip`, or null.
const ServerRecord* FirstFrom(const Arrivals& arrivals, const std::string& ip);
// Dotted text to network byte order; 0 for junk.
std::uint32_t Ipv4(const std::string& text);

// Engine diagnostics captured line by line, shared with the engine's threads.
struct CapturedLines
{
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<std::string> Snapshot();
};

// Options that send the engine's diagnostics into `sink`.
DiscoveryOptions CapturingOptions(const std::shared_ptr<CapturedLines>& sink);

// Runs a command line through the shell; gives its exit code and standard
// output (standard error too when `withStderr`).
struct CommandResult
{
    int exitCode = -1;
    std::string output;
};
CommandResult RunCommand(const std::string& commandLine, bool withStderr = false);
// Runs a command that changes the lab (ip, sysctl, nft); false with its output
// on failure. Inside the lab's namespaces only.
testing::AssertionResult LabCommand(const std::string& commandLine);

std::string ScanPath();
