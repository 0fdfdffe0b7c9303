#pragma once

#include "book/KnownServer.h"

#include <string>
#include <vector>

// Prometheus' HTTP service discovery list: one target group per known server
// (silent ones too: always the full list), its web page as "address:port"
// (the address alone when the reply's port is not a number from 1 to 65535,
// so that Prometheus takes its scheme's default), labelled with the
// identity and the name. Sorted by identity; UTF-8 JSON ending with a line end.
std::string FormatTargets(const std::vector<KnownServer>& servers);

inline constexpr const char* kTargetsContentType = "application/json";
