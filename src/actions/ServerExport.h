#pragma once

#include "discovery/ServerRecord.h"

#include <string>
#include <vector>

// The two machine-readable forms of a server list, shared by the scanner's
// --json and --csv and the window's export: UTF-8 text ending with a line
// end, fields in record order under their names (discovery/ServerFields.h).

// A JSON array of objects, one per server, each with the nine keys.
std::string FormatJson(const std::vector<ServerRecord>& servers);
// RFC 4180 CSV with a header row, CRLF line ends.
std::string FormatCsv(const std::vector<ServerRecord>& servers);
