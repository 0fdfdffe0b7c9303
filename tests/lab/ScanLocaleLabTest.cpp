// vindrel-scan's machine output under the locales users run it in: a decimal
// comma (de_DE), the dotless i (tr_TR), a multi-byte legacy charset
// (zh_CN.GB18030). Scripts parse this output; it must be the same bytes in
// each, and valid JSON.

#include "LabSupport.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <sstream>

namespace {

const char* const kLocales[] = {"C.UTF-8", "de_DE.UTF-8", "tr_TR.UTF-8", "zh_CN.GB18030"};

// The names tests/lab/data/locale-servers-gb18030.tsv gives the three
// servers, in GB18030 there, as UTF-8 in the output.
const char* const kNames[] = {"\xC4\xB0zmir-\xC4\xB1\xC5\x9F\xC4\xB1k NAS", "B\xC3\xBCro-Speicher, \"Keller\"",
                              "\xE5\xAD\x98\xE5\x82\xA8\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8 1,5"};

// The servers come in the order they were heard, which differs between
// runs: the lines sorted, with the comma that ends all but the last JSON row
// taken off.
std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with(","))
            line.pop_back();
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The diagnosis with what depends on timing (the search's length, probes
// and replies counted) set to N; everything else stays byte for byte.
std::string WithoutTimings(std::string json)
{
    for (const char* key : {"\"searchSeconds\": ", "\"probesSent\": ", "\"repliesReceived\": ", "\"unicastProbesSent\": "}) {
        const std::string k = key;
        for (std::size_t at = json.find(k); at != std::string::npos; at = json.find(k, at + k.size())) {
            const std::size_t value = at + k.size();
            const std::size_t end = json.find_first_not_of("-+0123456789.eE", value);
            json.replace(value, (end == std::string::npos ? json.size() : end) - value, "N");
        }
    }
    return json;
}

struct Outputs
{
    std::string json, csv, diagnosis;
};

Outputs ScanUnder(const std::string& locale)
{
    const std::string env = "LC_ALL=" + locale + " ";
    Outputs o;
    const CommandResult json = RunCommand(env + ScanPath() + " --json --wait-for 3 --seconds 10");
    EXPECT_EQ(json.exitCode, 0);
    o.json = json.output;
    const CommandResult csv = RunCommand(env + ScanPath() + " --csv --wait-for 3 --seconds 10");
    EXPECT_EQ(csv.exitCode, 0);
    o.csv = csv.output;
    const CommandResult diagnosis = RunCommand(env + ScanPath() + " --diagnose --json --seconds 1.5");
    EXPECT_EQ(diagnosis.exitCode, 0);
    o.diagnosis = diagnosis.output;
    return o;
}

TEST(ScanLocales, MachineOutputIsTheSameBytesInEveryLocale)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 3u);
    Outputs reference;
    for (const char* locale : kLocales) {
        SCOPED_TRACE(locale);
        // A missing locale would make this a run under C: the proof would be void.
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr) << "locale not installed; scripts/setup.sh makes it";
        std::setlocale(LC_ALL, "C");
        const Outputs o = ScanUnder(locale);

        const auto list = nlohmann::json::parse(o.json, nullptr, false);
        ASSERT_FALSE(list.is_discarded()) << o.json;
        ASSERT_TRUE(list.is_array());
        std::vector<std::string> names;
        for (const auto& server : list)
            names.push_back(server.at("Name").get<std::string>());
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected(std::begin(kNames), std::end(kNames));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << "UTF-8 whatever the locale's charset";

        const auto diagnosis = nlohmann::json::parse(o.diagnosis, nullptr, false);
        ASSERT_FALSE(diagnosis.is_discarded()) << o.diagnosis;
        EXPECT_TRUE(diagnosis.at("searchSeconds").is_number_float()) << o.diagnosis;
        EXPECT_TRUE(diagnosis.at("serversAnswered").get<bool>()) << o.diagnosis;

        EXPECT_EQ(o.csv.rfind("Name,IP,Port,Version,Serial,Mac,DeviceType,KorvanID,UpTime\r\n", 0), 0u) << o.csv;
        EXPECT_NE(o.csv.find("\"B\xC3\xBCro-Speicher, \"\"Keller\"\"\",10.21.1.2,8080,"), std::string::npos) << o.csv;

        if (reference.json.empty()) {
            reference = o;
            continue;
        }
        EXPECT_EQ(SortedLines(o.json), SortedLines(reference.json));
        EXPECT_EQ(SortedLines(o.csv), SortedLines(reference.csv));
        EXPECT_EQ(WithoutTimings(o.diagnosis), WithoutTimings(reference.diagnosis));
    }
}

}  // namespace
