#include "ScanOutput.h"

#include "DisplayWidth.h"
#include "base/LocaleText.h"
#include "discovery/ServerFields.h"
#include "i18n/TextCatalogue.h"

#include <algorithm>
#include <cstdio>

namespace {

// Servers' text may hold control characters; a terminal must not act on
// them (C1 ones included: U+009B starts an escape sequence on some), nor
// reorder the table around the bidirectional overrides and isolates.
bool Unsafe(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string PrintableText(std::u16string_view text)
{
    std::u16string clean(text);
    std::replace_if(clean.begin(), clean.end(), Unsafe, u'?');
    return ToUtf8(clean);
}

std::string FormatTable(const std::vector<ServerRecord>& servers)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string>& header = rows.emplace_back();
    for (const ServerField& field : kServerFields)
        header.push_back(ToUtf8(QueryCatalogueText(TextTable::MainWindow, field.headerKey.data(), kLanguageEnglish)));
    for (const ServerRecord& s : servers) {
        std::vector<std::string> row;
        for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
            row.push_back(PrintableText(s.Field(i)));
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
