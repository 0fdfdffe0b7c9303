// vindrel-scan: the discovery engine's headless front end for administrators
// and scripts. It broadcasts real probes: outside a test lab, run it only on
// a network where searching for servers is wanted.

#include "ScanCollector.h"
#include "ScanOptions.h"
#include "ScanOutput.h"
#include "StandardStreams.h"
#include "actions/ServerExport.h"
#include "diagnosis/Diagnosis.h"
#include "diagnosis/GatherDiagnosis.h"
#include "diagnosis/PortOwner.h"
#include "discovery/DiscoveryEngine.h"
#include "discovery/EngineLog.h"
#include "discovery/NeighbourTable.h"
#include "net/UdpSocket.h"

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

enum ExitCode { kExitFound = 0, kExitCannotRun = 1, kExitBadUsage = 2, kExitTooFew = 3 };

constexpr std::uint16_t kReplyPort = 6000;  // the engine's default, which the scanner keeps

// Writes all of `text` to standard output; on failure says so in one line
// and answers false.
bool WriteStandardOutput(const std::string& text, int knownError)
{
    int error = knownError;
    if (error == 0) {
        errno = 0;
        const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        if (std::fflush(stdout) != 0 || !written || std::ferror(stdout))
            error = errno != 0 ? errno : EIO;
    }
    if (error == 0)
        return true;
    std::fprintf(stderr, "vindrel-scan: cannot write to standard output: %s\n", std::strerror(error));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    const int stdoutError = PrepareStandardStreams();

    const ScanOptionsParse parsed = ParseScanOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "vindrel-scan: %s (try --help)\n", parsed.error.c_str());
        return kExitBadUsage;
    }
    const ScanOptions& o = *parsed.options;
    if (o.action == ScanOptions::Action::kHelp)
        return WriteStandardOutput(kScanUsage, stdoutError) ? kExitFound : kExitCannotRun;
    if (o.action == ScanOptions::Action::kVersion)
        return WriteStandardOutput("vindrel-scan " VINDREL_VERSION "\n", stdoutError) ? kExitFound : kExitCannotRun;
    if (stdoutError != 0) {
        WriteStandardOutput({}, stdoutError);  // no search whose result nobody can read
        return kExitCannotRun;
    }

    // Declared before the engine, so that it outlives the engine's threads.
    EngineLog verboseOutput(STDERR_FILENO);
    DiscoveryOptions engineOptions;
    engineOptions.targets = o.targets;
    engineOptions.listenPort = kReplyPort;
    engineOptions.interfaces = o.interfaces;
    if (o.verbose)
        engineOptions.engineLog = &verboseOutput;
    else
        engineOptions.diagnostics = [](std::string_view) {};
    ScanCollector collector;
    DiscoveryEngine engine(std::move(engineOptions));
    const auto begin = std::chrono::steady_clock::now();
    engine.Start(collector.Queue());

    const double seconds = o.seconds.value_or(o.waitFor ? 60.0 : 3.0);
    const auto deadline =
        begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    const ListenerState state = engine.WaitForListener(std::chrono::seconds(2));
    if (o.action == ScanOptions::Action::kDiagnose) {
        // What stops a plain search is what the report is for: it searches
        // on, then says what it found.
        collector.WaitFor(static_cast<std::size_t>(-1), deadline);
        const EngineStatus status = engine.Status();
        const auto searched =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
        engine.Stop();
        const Diagnosis d = Diagnose(GatherDiagnosis(status, searched, kReplyPort));
        return WriteStandardOutput(o.format == ScanOptions::Format::kJson ? d.json : d.report, 0) ? kExitFound
                                                                                                  : kExitCannotRun;
    }
    if (state.status == ListenerState::Status::kNoAddresses) {
        if (o.interfaces.empty())
            std::fprintf(stderr, "vindrel-scan: no network interface with an IPv4 address is up (loopback aside)\n");
        else
            std::fprintf(stderr,
                         "vindrel-scan: none of the interfaces named with --interface has an IPv4 address up\n");
        return kExitCannotRun;
    }
    if (state.status == ListenerState::Status::kBindFailed) {
        if (UdpSocket::IsAddressInUse(state.error))
            std::fprintf(stderr, "vindrel-scan: %s; close it and try again\n",
                         FormatPortInUse(kReplyPort, FindPortOwner(kReplyPort)).c_str());
        else
            std::fprintf(stderr, "vindrel-scan: cannot listen on UDP port 6000: %s\n",
                         EngineErrorText(state.error).c_str());
        return kExitCannotRun;
    }

    collector.WaitFor(o.waitFor ? o.waitFor : static_cast<std::size_t>(-1), deadline);
    engine.Stop();
    NeighbourTable neighbours({});
    collector.FillMissingMacs(neighbours);

    std::vector<ServerRecord> servers = collector.Servers();
    const bool tooFew = o.waitFor && servers.size() < o.waitFor;
    if (o.waitFor && servers.size() > o.waitFor)
        servers.resize(o.waitFor);  // the first N, as promised
    const std::string text = o.format == ScanOptions::Format::kJson  ? FormatJson(servers)
                             : o.format == ScanOptions::Format::kCsv ? FormatCsv(servers)
                                                                     : FormatTable(servers);
    if (!WriteStandardOutput(text, 0))
        return kExitCannotRun;
    return tooFew ? kExitTooFew : kExitFound;
}
