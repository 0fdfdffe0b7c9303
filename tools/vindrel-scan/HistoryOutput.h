#pragma once

#include "book/KnownServer.h"
#include "book/ServerEvent.h"

#include <string>
#include <vector>

// vindrel-scan --history: the book's servers (ordered by id) with their
// events (ServerBook::AllEvents: by server, oldest first).

// {"servers": [{"id", "lastAddress", "firstSeen", "lastSeen", "answering",
// "watched", ["claimOf",] "fields": {Name, IP, ...}, "events": [{"kind",
// "at", "from", "to"}]}]}: times in ISO 8601 UTC, UTF-8 (text that is not
// becomes U+FFFD), the same in every locale; ends with a newline.
std::string FormatHistoryJson(const std::vector<KnownServer>& servers, const std::vector<ServerEvent>& events);

// For people: one block per server, one line per event; servers' text with
// its control characters replaced.
std::string FormatHistoryText(const std::vector<KnownServer>& servers, const std::vector<ServerEvent>& events);
