#pragma once

#include "book/ServerEvent.h"
#include "uilib/SkinText.h"

#include <QString>

#include <chrono>
#include <vector>

// What happened to a server, as a sentence in the window's language:
// "KORVAN-0003 moved from 10.0.0.20 to 10.0.0.35". The server is named by
// its name where it has one, else by its identity. Every part that came
// from the network stays as sent: the result is plain text, for labels set
// to Qt::PlainText and for notification bodies only after escaping.

// "1 min", "45 s", "2 h": how long a server has been silent.
QString DurationText(std::chrono::seconds duration, const TextLookup& text);

// `name` is the server's name (may be empty); `silentAfter` is the
// threshold a "silent" event waited for.
QString EventText(const ServerEvent& event, const QString& name, std::chrono::seconds silentAfter,
                  const TextLookup& text);

// A server that comes back with another version is told as one sentence
// ("… is back (2.1.4 → 2.1.5)"): a "back" followed in the same batch by a
// "version" of the same server. The pairs are merged into the "back" with
// from/to holding the versions; the other events are kept as they are.
struct EventLine
{
    ServerEvent event;
    bool backWithVersion = false;
};
std::vector<EventLine> JoinBackAndVersion(const std::vector<ServerEvent>& events);
QString EventLineText(const EventLine& line, const QString& name, std::chrono::seconds silentAfter,
                      const TextLookup& text);
