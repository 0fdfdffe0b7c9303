#pragma once

#include "discovery/ProbeTarget.h"
#include "watch/ListenAddress.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// vindrel-scan's command line.
struct ScanOptions
{
    enum class Action { kScan, kDiagnose, kHistory, kForget, kWatch, kHelp, kVersion };
    enum class Format { kTable, kJson, kCsv };

    Action action = Action::kScan;
    std::optional<double> seconds;  // fractions allowed: 1.5
    std::size_t waitFor = 0;        // 0: no --wait-for
    Format format = Format::kTable;
    bool verbose = false;
    std::vector<ProbeTarget> targets;
    std::vector<std::string> interfaces;
    std::string forget;                    // --forget ID
    std::optional<std::string> stateFile;  // --state FILE: another book than the program's own; --watch: its book
    // --watch only.
    unsigned silentAfter = 60;             // seconds
    std::optional<ListenAddress> metrics;  // where to serve /metrics and /targets
};

// The options, or one line that says what is wrong (bad usage).
struct ScanOptionsParse
{
    std::optional<ScanOptions> options;
    std::string error;
};

// `args` without the program name. Options take their value as the next
// argument or after '=' ("--seconds 2", "--seconds=2"). Numbers are plain
// decimal: --seconds digits with an optional fraction, above 0 and up to
// 86400; --wait-for a whole number from 1 to 1000000. No sign, exponent,
// hex, blank or empty value. --help and --version win over what follows.
ScanOptionsParse ParseScanOptions(const std::vector<std::string>& args);

extern const char* const kScanUsage;
