#pragma once

#include "discovery/ServerRecord.h"

#include <string>
#include <vector>

// The scanner's table for people: a header row in English, then one row per
// server, columns padded with blanks by display width (a CJK character takes
// two cells, a combining mark none), UTF-8, ending with a newline. The
// machine-readable forms are discovery/ServerExport.h.
std::string FormatTable(const std::vector<ServerRecord>& servers);
