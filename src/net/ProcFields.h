#pragma once

#include <string_view>
#include <vector>

// The blank-separated fields of one line of a kernel table under /proc
// (/proc/net/arp, /proc/net/udp): views into `line`, runs of spaces and tabs
// between them, none empty.
inline std::vector<std::string_view> ProcFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}
