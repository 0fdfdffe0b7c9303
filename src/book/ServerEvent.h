#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// Something that happened to a known server. `from` and `to` are UTF-8:
//   found     to = the address it was first heard at
//   moved     from → to: the old and the new address
//   renamed   from → to: the old and the new name
//   version   from → to: the old and the new version text
//   rebooted  from → to: the up-time texts before and after it went down
//   silent    from = the last address; no reply for the tracker's threshold
//   back      to = the address it answers at again
//   conflict  a second server claims a Korvan ID that an answering server
//             holds: `id` is the newcomer's own key (ID@address), from = the
//             holder's address, to = the newcomer's
// `fields` is the record as it was heard with the event (empty in events
// read back from the book, which keeps only the latest record per server).
struct ServerEvent
{
    enum class Kind { kFound, kMoved, kRenamed, kVersion, kRebooted, kSilent, kBack, kConflict };

    Kind kind = Kind::kFound;
    std::string id;
    std::chrono::system_clock::time_point at{};
    std::string from;
    std::string to;
    ServerRecord fields;

    bool operator==(const ServerEvent&) const = default;
};

// "found", "moved", "renamed", "version", "rebooted", "silent", "back",
// "conflict": the names the book stores and vindrel-scan prints.
std::string_view EventKindName(ServerEvent::Kind kind);
std::optional<ServerEvent::Kind> EventKindFromName(std::string_view name);
