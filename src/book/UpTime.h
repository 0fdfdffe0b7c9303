#pragma once

#include <chrono>
#include <optional>
#include <string_view>

// Reads a server's up-time text as a duration, tolerantly: servers write it
// in many ways and the program only needs to notice that it went down.
//   "86400"               a bare number is seconds
//   "0d 00:00", "3d 4:05" days, then a clock of hours:minutes
//   "12:34:56"            hours:minutes:seconds
//   "3d 4h", "4h 5m 6s"   numbers with unit letters
//   "2 days", "1 day, 3 hours", "up 5 min"  words, commas, a leading "up"
//   "3天4小时"              Chinese units (天 小时 分钟 秒)
// Case and surrounding white space do not matter; each unit at most once.
// nullopt for anything else (an empty text, garbage, a negative or
// fractional figure, a value beyond a million days): the caller then
// ignores the field.
std::optional<std::chrono::seconds> ParseUpTime(std::u16string_view text);
