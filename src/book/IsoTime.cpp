#include "book/IsoTime.h"

#include <cstdio>

std::string FormatIsoUtc(std::chrono::system_clock::time_point at)
{
    // Civil date from the day count (no gmtime: its range and thread
    // safety differ between systems).
    using namespace std::chrono;
    const auto secs = floor<seconds>(at);
    const auto day = floor<days>(secs);
    const year_month_day date{day};
    const hh_mm_ss clock{secs - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}
