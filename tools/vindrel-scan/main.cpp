// vindrel-scan: the discovery engine's headless front end for administrators
// and scripts. It broadcasts real probes: outside a test lab, run it only on
// a network where searching for servers is wanted.

#include "ScanCollector.h"
#include "ScanOutput.h"
#include "discovery/DiagnosticOutput.h"
#include "discovery/DiscoveryEngine.h"
#include "discovery/NeighbourTable.h"
#include "discovery/ServerExport.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: vindrel-scan [--seconds S] [--wait-for N] [--target SPEC]... [--interface IF]...\n"
    "                    [--json | --csv] [--verbose] [--help]\n"
    "Searches the local network for Korvan storage servers and lists them, one per\n"
    "IP address, in the order first heard. It broadcasts a probe to UDP port 6001\n"
    "from every IPv4 interface twice a second and listens on UDP port 6000.\n"
    "\n"
    "  --seconds S     search for S seconds (default 3, or 60 with --wait-for)\n"
    "  --wait-for N    stop as soon as N distinct servers are known\n"
    "  --target SPEC   also probe by unicast, for servers a broadcast cannot reach\n"
    "                  (other subnets): an address (10.20.0.7), a block of /16 or\n"
    "                  narrower (10.20.0.0/24) or a range (10.20.0.5-10.20.0.40).\n"
    "                  Up to 256 addresses are probed twice a second; a wider one is\n"
    "                  swept once, at most 2000 probes a second (a /16 takes 34 s),\n"
    "                  and the servers found in it are then probed twice a second.\n"
    "                  Repeat it for several.\n"
    "  --interface IF  broadcast from this interface only; repeat it for several\n"
    "  --json          a JSON array of objects with the keys Name, IP, Port, Version,\n"
    "                  Serial, Mac, DeviceType, KorvanID, UpTime\n"
    "  --csv           CSV with a header row (RFC 4180)\n"
    "  --verbose       the engine's diagnostic lines on standard error\n"
    "  --help          this text\n"
    "Without --json or --csv a table is printed. Mac is empty when the server's\n"
    "hardware address could not be learnt (always for servers behind a router).\n"
    "Exit: 0 the search ran (also when nothing was found); 1 it could not run (port\n"
    "6000 in use, no IPv4 interface); 2 bad usage.\n";

enum class Format { kTable, kJson, kCsv };

struct Options
{
    std::optional<double> seconds;
    std::size_t waitFor = 0;
    Format format = Format::kTable;
    bool verbose = false;
    std::vector<ProbeTarget> targets;
    std::vector<std::string> interfaces;
};

[[noreturn]] void BadUsage(const std::string& message)
{
    std::fprintf(stderr, "vindrel-scan: %s (try --help)\n", message.c_str());
    std::exit(2);
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    bool formatGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                BadUsage(arg + " needs a value");
            return argv[++i];
        };
        auto setFormat = [&](Format f) {
            if (formatGiven && o.format != f)
                BadUsage("--json and --csv exclude each other");
            formatGiven = true;
            o.format = f;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--seconds") {
            const std::string text = value();
            char* end = nullptr;
            errno = 0;
            const double s = std::strtod(text.c_str(), &end);
            if (errno != 0 || end == text.c_str() || *end != '\0' || !(s >= 0 && s <= 86400))
                BadUsage("--seconds wants a number from 0 to 86400");
            o.seconds = s;
        } else if (arg == "--wait-for") {
            const std::string text = value();
            char* end = nullptr;
            errno = 0;
            const unsigned long n = std::strtoul(text.c_str(), &end, 10);
            if (errno != 0 || end == text.c_str() || *end != '\0' || text[0] == '-' || n == 0 || n > 1000000)
                BadUsage("--wait-for wants a number from 1 to 1000000");
            o.waitFor = n;
        } else if (arg == "--target") {
            ProbeTargetParse parsed = ParseProbeTarget(value());
            if (!parsed.target)
                BadUsage("--target " + parsed.error);
            o.targets.push_back(std::move(*parsed.target));
        } else if (arg == "--interface") {
            const std::string name = value();
            if (name.empty())
                BadUsage("--interface needs an interface name");
            o.interfaces.push_back(name);
        } else if (arg == "--json") {
            setFormat(Format::kJson);
        } else if (arg == "--csv") {
            setFormat(Format::kCsv);
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            BadUsage("unknown option '" + arg + "'");
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // A reader that goes away (| head) makes writes fail, which is handled;
    // it must not kill the process in the middle of one.
    std::signal(SIGPIPE, SIG_IGN);
    const Options o = ParseOptions(argc, argv);

    // Declared before the engine, so that it outlives the engine's threads.
    DiagnosticOutput verboseOutput(STDERR_FILENO);
    DiscoveryOptions engineOptions;
    engineOptions.targets = o.targets;
    engineOptions.interfaces = o.interfaces;
    if (o.verbose)
        engineOptions.diagnosticOutput = &verboseOutput;
    else
        engineOptions.diagnostics = [](std::string_view) {};
    ScanCollector collector;
    DiscoveryEngine engine(std::move(engineOptions));
    const auto begin = std::chrono::steady_clock::now();
    engine.Start(collector.Queue());

    const ListenerState state = engine.WaitForListener(std::chrono::seconds(2));
    if (state.status == ListenerState::Status::kNoAddresses) {
        if (o.interfaces.empty())
            std::fprintf(stderr, "vindrel-scan: no network interface with an IPv4 address is up (loopback aside)\n");
        else
            std::fprintf(stderr,
                         "vindrel-scan: none of the interfaces named with --interface has an IPv4 address up\n");
        return 1;
    }
    if (state.status == ListenerState::Status::kBindFailed) {
        if (state.error == EADDRINUSE)
            std::fprintf(stderr, "vindrel-scan: UDP port 6000 is in use by another program; close it and try again\n");
        else
            std::fprintf(stderr, "vindrel-scan: cannot listen on UDP port 6000: %s\n", std::strerror(state.error));
        return 1;
    }

    const double seconds = o.seconds.value_or(o.waitFor ? 60.0 : 3.0);
    const auto deadline =
        begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    collector.WaitFor(o.waitFor ? o.waitFor : static_cast<std::size_t>(-1), deadline);
    engine.Stop();
    NeighbourTable neighbours({});
    collector.FillMissingMacs(neighbours);

    const auto& servers = collector.Servers();
    const std::string text = o.format == Format::kJson  ? FormatJson(servers)
                             : o.format == Format::kCsv ? FormatCsv(servers)
                                                        : FormatTable(servers);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return 0;
}
