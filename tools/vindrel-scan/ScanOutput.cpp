#include "ScanOutput.h"

#include "base/LocaleText.h"

#include <algorithm>
#include <cstdio>

namespace {

// Columns line up by code point; wide CJK glyphs may still drift, which a
// table for people can live with.
std::size_t DisplayWidth(const std::string& utf8)
{
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// Servers' text may hold control characters; a terminal must not act on them.
std::string Printable(std::u16string_view text)
{
    std::u16string clean(text);
    std::replace_if(
        clean.begin(), clean.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; }, u'?');
    return ToUtf8(clean);
}

std::string JsonString(std::u16string_view text)
{
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string CsvField(std::u16string_view text)
{
    const std::string utf8 = ToUtf8(text);
    if (utf8.find_first_of(",\"\r\n") == std::string::npos)
        return utf8;
    std::string out = "\"";
    for (const char c : utf8)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string FormatTable(const std::vector<ServerRecord>& servers)
{
    std::vector<std::vector<std::string>> rows;
    rows.emplace_back(kServerFieldHeaders.begin(), kServerFieldHeaders.end());
    for (const ServerRecord& s : servers) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
            row.push_back(Printable(s.Field(i)));
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(ServerRecord::kFieldCount, 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - DisplayWidth(row[i]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

std::string FormatJson(const std::vector<ServerRecord>& servers)
{
    std::string out = "[";
    for (std::size_t n = 0; n < servers.size(); ++n) {
        out += n ? ",\n  {" : "\n  {";
        for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i) {
            out += i ? ", \"" : "\"";
            out += std::string(kServerFieldNames[i]) + "\": " + JsonString(servers[n].Field(i));
        }
        out += "}";
    }
    return out + (servers.empty() ? "]\n" : "\n]\n");
}

std::string FormatCsv(const std::vector<ServerRecord>& servers)
{
    std::string out;
    for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
        out += (i ? "," : "") + std::string(kServerFieldNames[i]);
    out += "\r\n";
    for (const ServerRecord& s : servers) {
        for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
            out += (i ? "," : "") + CsvField(s.Field(i));
        out += "\r\n";
    }
    return out;
}
