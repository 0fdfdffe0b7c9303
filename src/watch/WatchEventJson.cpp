#include "watch/WatchEventJson.h"

#include "base/LocaleText.h"
#include "discovery/ServerFields.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

std::string FormatUtcTime(std::chrono::system_clock::time_point at)
{
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const int milli = static_cast<int>(ms - static_cast<long long>(seconds) * 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    // Digits only: no locale has a say.
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, milli);
    return text;
}

std::string FormatWatchEvent(const WatchEventLine& line)
{
    nlohmann::ordered_json fields = nlohmann::ordered_json::object();
    for (const ServerField& f : kServerFields)
        fields[std::string(f.name)] = ToUtf8(line.fields.*f.member);
    const nlohmann::ordered_json event = {
        {"event", std::string(line.event)}, {"at", FormatUtcTime(line.at)}, {"id", line.id},   {"address", line.address},
        {"from", line.from},   {"to", line.to},                {"fields", fields},
    };
    return event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
