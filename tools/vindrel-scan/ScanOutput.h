#pragma once

#include "discovery/ServerRecord.h"

#include <string>
#include <vector>

// The scanner's table for people: a header row in English, then one row per
// server, columns padded with blanks by display width (a CJK character takes
// two cells, a combining mark none), UTF-8, ending with a newline. The
// machine-readable forms are discovery/ServerExport.h.
std::string FormatTable(const std::vector<ServerRecord>& servers);

// A server's text made safe for a terminal: control characters, C1 codes
// and bidirectional overrides become '?'. UTF-8.
std::string PrintableText(std::u16string_view text);
