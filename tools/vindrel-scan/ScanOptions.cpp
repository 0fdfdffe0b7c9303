#include "ScanOptions.h"

#include <algorithm>
#include <charconv>

const char* const kScanUsage = "Usage: vindrel-scan [--seconds S] [--wait-for N] [--target ADDR]...\n"
                               "                    [--interface IF]... [--json | --csv] [--verbose]\n"
                               "       vindrel-scan --diagnose [--seconds S] [--target ADDR]...\n"
                               "                    [--interface IF]... [--json] [--verbose]\n"
                               "       vindrel-scan --watch [--silent-after S] [--state FILE]\n"
                               "                    [--metrics ADDR:PORT] [--target ADDR]... [--interface IF]...\n"
                               "       vindrel-scan --history [--json] [--state FILE]\n"
                               "       vindrel-scan --forget ID [--state FILE]\n"
                               "       vindrel-scan --help | --version\n"
                               "Searches the local network for Korvan storage servers and lists them, one per\n"
                               "IP address, in the order first heard. It broadcasts a probe to UDP port 6001\n"
                               "from every IPv4 interface twice a second and listens on UDP port 6000.\n"
                               "\n"
                               "  --seconds S     search for S seconds, fractions allowed (default 3, or 60\n"
                               "                  with --wait-for); above 0 and up to 86400\n"
                               "  --wait-for N    stop as soon as N distinct servers are known and list the\n"
                               "                  first N; exit 3 when fewer answered in time\n"
                               "  --target ADDR   also probe by unicast, for servers a broadcast cannot reach\n"
                               "                  (other subnets): an address (10.20.0.7), a block of /16 or\n"
                               "                  narrower (10.20.0.0/24) or a range (10.20.0.5-10.20.0.40).\n"
                               "                  Up to 256 addresses are probed twice a second; a wider one is\n"
                               "                  swept once, at most 2000 probes a second (a /16 takes 34 s),\n"
                               "                  and the servers found in it are then probed twice a second.\n"
                               "                  A block or range leaves out the addresses on the links the\n"
                               "                  broadcasts go out on, which they reach already; an address\n"
                               "                  given alone is probed wherever it is. Repeat it for several.\n"
                               "  --interface IF  broadcast from this interface only; repeat it for several\n"
                               "  --diagnose      search as usual, then report why servers may not be found:\n"
                               "                  each adapter (address, kind, probes sent, send errors,\n"
                               "                  replies), the reply port (and the program holding it), the\n"
                               "                  host firewall (whether it drops UDP 6000, and the command\n"
                               "                  that lets it in), then the likely causes, most likely first\n"
                               "  --watch         search until SIGINT or SIGTERM (then exit 0), writing one JSON\n"
                               "                  object per line for each event: {\"event\": found, moved,\n"
                               "                  renamed, version, rebooted, silent, back or conflict, \"at\"\n"
                               "                  (ISO 8601 UTC), \"id\", \"address\", \"from\", \"to\", \"fields\"}\n"
                               "  --silent-after S  with --watch: a server that has not answered for S whole\n"
                               "                  seconds is silent (default 60; 1 to 86400)\n"
                               "  --metrics ADDR:PORT  with --watch: serve /metrics (Prometheus text format)\n"
                               "                  and /targets (Prometheus HTTP service discovery) over HTTP on\n"
                               "                  this IPv4 address and TCP port: 127.0.0.1:6070 for a local\n"
                               "                  Prometheus, 0.0.0.0:6070 to be scraped from elsewhere\n"
                               "  --history       print the server book: every server the window (or this\n"
                               "                  program's folder or installation) has known, when it was\n"
                               "                  first and last seen, at which address, and its events\n"
                               "                  (found, moved, renamed, version, rebooted, silent, back,\n"
                               "                  conflict); opens no socket\n"
                               "  --forget ID     remove one server and its events from the book (ID as\n"
                               "                  --history shows it); opens no socket. Forget a server in\n"
                               "                  the window while it runs: it writes the book too\n"
                               "  --state FILE    the book to read or change instead of servers.db in the\n"
                               "                  program's state folder; with --watch the book to keep, so that\n"
                               "                  identities and history survive restarts (without it, --watch\n"
                               "                  keeps the book in memory)\n"
                               "  --json          a JSON array of objects with the keys Name, IP, Port, Version,\n"
                               "                  Serial, Mac, DeviceType, KorvanID, UpTime; with --diagnose,\n"
                               "                  the report as one JSON object; with --history, one object\n"
                               "                  {\"servers\": [{\"id\", \"lastAddress\", \"firstSeen\",\n"
                               "                  \"lastSeen\", \"answering\", \"watched\", \"fields\": {those keys},\n"
                               "                  \"events\": [{\"kind\", \"at\", \"from\", \"to\"}]}]}, times in\n"
                               "                  ISO 8601 UTC\n"
                               "  --csv           CSV with a header row (RFC 4180)\n"
                               "  --verbose       the engine's diagnostic lines on standard error\n"
                               "  --help          this text\n"
                               "  --version       the version\n"
                               "A value follows its option as the next argument or after '=' (--seconds=1.5).\n"
                               "Without --json or --csv a table is printed. Mac is empty when the server's\n"
                               "hardware address could not be learnt (always for servers behind a router).\n"
                               "Exit: 0 the search ran (also when nothing was found; with --diagnose, whatever\n"
                               "it found; with --watch, after SIGINT or SIGTERM); 1 it could not run (port 6000\n"
                               "in use, no IPv4 interface: --watch waits for them instead and says so; the\n"
                               "book cannot be read, or --forget names no server it knows) or standard output\n"
                               "could not be written; 2 bad usage; 3 --wait-for N and fewer than N servers\n"
                               "answered in time. When no server answered, one line on standard error says so\n"
                               "and points to --diagnose.\n";

namespace {

bool Digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<double> ParseSeconds(std::string_view text)
{
    const auto dot = text.find('.');
    if (!Digits(text.substr(0, dot)) || (dot != std::string_view::npos && !Digits(text.substr(dot + 1))))
        return std::nullopt;
    double value = 0;
    // from_chars, not strtod: the user's locale may want a decimal comma.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0 && value <= 86400))
        return std::nullopt;
    return value;
}

std::optional<std::size_t> ParseCount(std::string_view text)
{
    if (!Digits(text) || text.size() > 7)
        return std::nullopt;
    std::size_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < 1 || value > 1000000)
        return std::nullopt;
    return value;
}

}  // namespace

ScanOptionsParse ParseScanOptions(const std::vector<std::string>& args)
{
    using Format = ScanOptions::Format;
    ScanOptions o;
    bool formatGiven = false;
    std::vector<std::string> watchOnly;  // given options that only --watch takes
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (name.rfind("--", 0) == 0) {
            if (const auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
        }
        const auto fail = [](std::string message) { return ScanOptionsParse{std::nullopt, std::move(message)}; };
        bool missing = false;
        const auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size()) {
                missing = true;
                return {};
            }
            return args[++i];
        };
        const bool isFlag = name == "--help" || name == "--version" || name == "--json" || name == "--csv" ||
                            name == "--verbose" || name == "--diagnose" || name == "--history" || name == "--watch";
        if (inlineValue && isFlag)
            return fail(name + " takes no value");

        if (name == "--help" || name == "-h") {
            o.action = ScanOptions::Action::kHelp;
            return {o, {}};
        } else if (name == "--version") {
            o.action = ScanOptions::Action::kVersion;
            return {o, {}};
        } else if (name == "--seconds") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            o.seconds = ParseSeconds(text);
            if (!o.seconds)
                return fail("--seconds wants a number of seconds above 0 and up to 86400, such as 3 or 1.5, not '" +
                            text + "'");
        } else if (name == "--wait-for") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            const auto n = ParseCount(text);
            if (!n)
                return fail("--wait-for wants a whole number from 1 to 1000000, not '" + text + "'");
            o.waitFor = *n;
        } else if (name == "--target") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            ProbeTargetParse parsed = ParseProbeTarget(text);
            if (!parsed.target)
                return fail("--target " + parsed.error);
            o.targets.push_back(std::move(*parsed.target));
        } else if (name == "--interface") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            if (text.empty())
                return fail("--interface needs an interface name");
            o.interfaces.push_back(text);
        } else if (name == "--json" || name == "--csv") {
            const Format f = name == "--json" ? Format::kJson : Format::kCsv;
            if (formatGiven && o.format != f)
                return fail("--json and --csv exclude each other");
            formatGiven = true;
            o.format = f;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name == "--diagnose" || name == "--history" || name == "--watch") {
            const auto action = name == "--diagnose"  ? ScanOptions::Action::kDiagnose
                                : name == "--history" ? ScanOptions::Action::kHistory
                                                      : ScanOptions::Action::kWatch;
            if (o.action != ScanOptions::Action::kScan && o.action != action)
                return fail("--diagnose, --history, --forget and --watch exclude each other");
            o.action = action;
        } else if (name == "--forget") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            if (text.empty())
                return fail("--forget needs a server's ID, as --history shows it");
            if (o.action != ScanOptions::Action::kScan && o.action != ScanOptions::Action::kForget)
                return fail("--diagnose, --history, --forget and --watch exclude each other");
            o.action = ScanOptions::Action::kForget;
            o.forget = text;
        } else if (name == "--state") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            if (text.empty())
                return fail("--state needs a file name");
            o.stateFile = text;
        } else if (name == "--silent-after") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            const auto n = ParseCount(text);
            if (!n || *n > 86400)
                return fail("--silent-after wants a whole number of seconds from 1 to 86400, not '" + text + "'");
            o.silentAfter = static_cast<unsigned>(*n);
            watchOnly.push_back(name);
        } else if (name == "--metrics") {
            const std::string text = value();
            if (missing)
                return fail(name + " needs a value");
            ListenAddressParse address = ParseListenAddress(text);
            if (!address.value)
                return fail("--metrics " + address.error);
            o.metrics = std::move(address.value);
            watchOnly.push_back(name);
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    const bool searches = o.seconds || o.waitFor || !o.targets.empty() || !o.interfaces.empty() || o.verbose;
    if (o.action == ScanOptions::Action::kHistory || o.action == ScanOptions::Action::kForget) {
        const std::string action = o.action == ScanOptions::Action::kHistory ? "--history" : "--forget";
        if (searches)
            return {std::nullopt, action + " reads the book and does not search: no --seconds, --wait-for, "
                                           "--target, --interface or --verbose"};
        if (o.format == Format::kCsv || (o.action == ScanOptions::Action::kForget && formatGiven))
            return {std::nullopt, o.action == ScanOptions::Action::kHistory ? "--history prints text or --json, not --csv"
                                                                           : "--forget prints nothing to format"};
    } else if (o.stateFile && o.action != ScanOptions::Action::kWatch) {
        return {std::nullopt, "--state goes with --history or --forget, or --watch"};
    }
    if (o.action == ScanOptions::Action::kDiagnose) {
        if (o.format == Format::kCsv)
            return {std::nullopt, "--diagnose reports as text or --json, not --csv"};
        if (o.waitFor)
            return {std::nullopt, "--diagnose searches for --seconds and cannot end early with --wait-for"};
    }
    if (o.action == ScanOptions::Action::kWatch) {
        if (formatGiven)
            return {std::nullopt, "--watch writes JSON lines; --json and --csv are for a single search"};
        if (o.seconds || o.waitFor)
            return {std::nullopt, "--watch runs until stopped; --seconds and --wait-for are for a single search"};
    } else if (!watchOnly.empty() && o.action != ScanOptions::Action::kHelp &&
               o.action != ScanOptions::Action::kVersion) {
        return {std::nullopt, watchOnly.front() + " goes with --watch"};
    }
    return {o, {}};
}
