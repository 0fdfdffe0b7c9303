#include "actions/ServerExport.h"

#include "base/LocaleText.h"
#include "discovery/JsonText.h"
#include "discovery/ServerFields.h"

namespace {

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

std::string FormatJson(const std::vector<ServerRecord>& servers)
{
    std::string out = "[";
    for (std::size_t n = 0; n < servers.size(); ++n) {
        out += n ? ",\n  {" : "\n  {";
        for (std::size_t i = 0; i < kServerFields.size(); ++i) {
            out += i ? ", \"" : "\"";
            out += std::string(kServerFields[i].name) + "\": " + JsonString(servers[n].*kServerFields[i].member);
        }
        out += "}";
    }
    return out + (servers.empty() ? "]\n" : "\n]\n");
}

std::string FormatCsv(const std::vector<ServerRecord>& servers)
{
    std::string out;
    for (std::size_t i = 0; i < kServerFields.size(); ++i)
        out += (i ? "," : "") + std::string(kServerFields[i].name);
    out += "\r\n";
    for (const ServerRecord& s : servers) {
        for (std::size_t i = 0; i < kServerFields.size(); ++i)
            out += (i ? "," : "") + CsvField(s.*kServerFields[i].member);
        out += "\r\n";
    }
    return out;
}
