#pragma once

#include "discovery/ServerRecord.h"

#include <string>
#include <vector>

// The scanner's three output forms, as UTF-8 text ending with a newline.
std::string FormatTable(const std::vector<ServerRecord>& servers);
std::string FormatJson(const std::vector<ServerRecord>& servers);
std::string FormatCsv(const std::vector<ServerRecord>& servers);
