#pragma once

#include "discovery/EngineStatus.h"
#include "book/KnownServer.h"

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

// A label value as the exposition format wants it between its quotes:
// backslash, double quote and line feed escaped; anything else as it is.
std::string EscapeLabelValue(std::string_view utf8);

// The Content-Type of FormatMetrics' text.
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
