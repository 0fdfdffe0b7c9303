#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <string>
#include <string_view>

// One line of vindrel-scan --watch: {"event", "at", "id", "address", "from",
// "to", "fields"} in that order, "at" in ISO 8601 UTC with milliseconds
// ("2026-12-11T16:30:00.123Z"), "fields" under the --json field names
// (discovery/ServerFields.h). One line, ending with "\n"; bytes that are not
// UTF-8 become U+FFFD, so every line is valid JSON.
struct WatchEventLine
{
    std::string_view event;  // "found", "moved", "renamed", "version", "rebooted", "silent", "back"
    std::chrono::system_clock::time_point at;
    std::string id;
    std::string address;
    std::string from;  // what changed, for moved, renamed, version; else empty
    std::string to;
    ServerRecord fields;
};

std::string FormatWatchEvent(const WatchEventLine& line);

// ISO 8601 UTC with milliseconds, whatever the locale and time zone.
std::string FormatUtcTime(std::chrono::system_clock::time_point at);
