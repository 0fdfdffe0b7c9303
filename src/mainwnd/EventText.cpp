#include "mainwnd/EventText.h"

#include <algorithm>

namespace {

QString Utf8(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

QString DurationText(std::chrono::seconds duration, const TextLookup& text)
{
    const long long s = duration.count();
    if (s >= 3600 && s % 3600 == 0)
        return text(QStringLiteral("Duration_Hours")).arg(s / 3600);
    if (s >= 60 && s % 60 == 0)
        return text(QStringLiteral("Duration_Minutes")).arg(s / 60);
    return text(QStringLiteral("Duration_Seconds")).arg(s);
}

QString EventText(const ServerEvent& event, const QString& name, std::chrono::seconds silentAfter,
                  const TextLookup& text)
{
    const QString who = name.isEmpty() ? Utf8(event.id) : name;
    const QString from = Utf8(event.from);
    const QString to = Utf8(event.to);
    // QString::arg with several arguments substitutes in one pass, so a "%2"
    // inside a server's name is never taken for a place to fill.
    switch (event.kind) {
    case ServerEvent::Kind::kFound: return text(QStringLiteral("Event_Found")).arg(who, to);
    case ServerEvent::Kind::kMoved: return text(QStringLiteral("Event_Moved")).arg(who, from, to);
    case ServerEvent::Kind::kRenamed: return text(QStringLiteral("Event_Renamed")).arg(Utf8(event.id), from, to);
    case ServerEvent::Kind::kVersion: return text(QStringLiteral("Event_Version")).arg(who, from, to);
    case ServerEvent::Kind::kRebooted: return text(QStringLiteral("Event_Rebooted")).arg(who, to, from);
    case ServerEvent::Kind::kSilent: return text(QStringLiteral("Event_Silent")).arg(who, DurationText(silentAfter, text));
    case ServerEvent::Kind::kBack: return text(QStringLiteral("Event_Back")).arg(who, to);
    case ServerEvent::Kind::kConflict: return text(QStringLiteral("Event_Conflict")).arg(who, to, from);
    }
    return who;
}

std::vector<EventLine> JoinBackAndVersion(const std::vector<ServerEvent>& events)
{
    std::vector<EventLine> lines;
    lines.reserve(events.size());
    for (const ServerEvent& e : events) {
        if (e.kind == ServerEvent::Kind::kVersion) {
            auto back = std::find_if(lines.rbegin(), lines.rend(), [&](const EventLine& l) {
                return l.event.id == e.id && l.event.kind == ServerEvent::Kind::kBack && !l.backWithVersion;
            });
            if (back != lines.rend()) {
                back->backWithVersion = true;
                back->event.from = e.from;
                back->event.to = e.to;
                back->event.fields = e.fields;
                continue;
            }
        }
        lines.push_back({e, false});
    }
    return lines;
}

QString EventLineText(const EventLine& line, const QString& name, std::chrono::seconds silentAfter,
                      const TextLookup& text)
{
    if (!line.backWithVersion)
        return EventText(line.event, name, silentAfter, text);
    const QString who = name.isEmpty() ? Utf8(line.event.id) : name;
    return text(QStringLiteral("Event_BackVersion")).arg(who, Utf8(line.event.from), Utf8(line.event.to));
}
