#pragma once

#include "discovery/EngineStatus.h"
#include "book/KnownServer.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The Prometheus text exposition format (version 0.0.4) of what the agent
// knows: per server vindrel_server_up, _info, _uptime_seconds (where the up
// time parses) and _last_seen_timestamp_seconds, keyed by the identity alone;
// the address and the names only in _info. Then the engine's counters by
// interface, the replies and whether the listener is up. Series are sorted by
// identity, so two scrapes of the same state are the same bytes; an identity
// that appears twice is written once (the first), since a repeated series is
// an invalid exposition. Numbers never depend on the locale.
std::string FormatMetrics(const std::vector<KnownServer>& servers, const EngineStatus& engine);

// The same text, kept ready between scrapes: each server's labels are
// escaped and its up time read when its reply changes, not at every scrape,
// so that a scrape of thousands of servers is a few appends per server. Not
// thread-safe: its owner serialises Update and Format.
class MetricsCache final
{
public:
    // The server's latest state; a new identity is added.
    void Update(const KnownServer& server);
    std::string Format(const EngineStatus& engine) const;
    std::size_t Size() const { return m_servers.size(); }

private:
    struct Entry
    {
        std::string idLabel;  // {id="..."} with the value escaped
        std::string infoLine; // the whole vindrel_server_info sample
        ServerRecord fields;  // what infoLine and upTime were made from
        std::string address;
        std::optional<std::chrono::seconds> upTime;
        std::chrono::system_clock::time_point lastSeen{};
        bool answering = false;
    };
    std::map<std::string, Entry, std::less<>> m_servers;  // sorted by identity
};

// A label value as the exposition format wants it between its quotes:
// backslash, double quote and line feed escaped; anything else as it is.
std::string EscapeLabelValue(std::string_view utf8);

// The Content-Type of FormatMetrics' text.
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
