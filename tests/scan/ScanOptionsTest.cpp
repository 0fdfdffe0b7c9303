#include "ScanOptions.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w == "''" ? std::string() : w);
    return words;
}

struct RefusedCase
{
    const char* arguments;  // '' stands for an empty argument
    const char* says;
};

const RefusedCase kRefused[] = {
    {"--seconds 0x2", "--seconds wants a number of seconds above 0"},
    {"--seconds 0", "--seconds wants"},
    {"--seconds 0.0", "--seconds wants"},
    {"--seconds 1e3", "--seconds wants"},
    {"--seconds ''", "--seconds wants"},
    {"--seconds=", "--seconds wants"},
    {"--seconds -1", "--seconds wants"},
    {"--seconds +1", "--seconds wants"},
    {"--seconds .5", "--seconds wants"},
    {"--seconds 5.", "--seconds wants"},
    {"--seconds 1,5", "--seconds wants"},
    {"--seconds inf", "--seconds wants"},
    {"--seconds 86400.5", "--seconds wants"},
    {"--seconds", "--seconds needs a value"},
    {"--wait-for 0", "--wait-for wants a whole number from 1 to 1000000"},
    {"--wait-for 1.5", "--wait-for wants"},
    {"--wait-for 0x10", "--wait-for wants"},
    {"--wait-for 1000001", "--wait-for wants"},
    {"--wait-for 99999999999999999999", "--wait-for wants"},
    {"--wait-for=", "--wait-for wants"},
    {"--wait-for", "--wait-for needs a value"},
    {"--target 10.0.0.0/8", "--target '10.0.0.0/8': a block may be at most a /16"},
    {"--target=10.20.0.9-10.20.0.1", "--target '10.20.0.9-10.20.0.1': the range runs backwards"},
    {"--interface ''", "--interface needs an interface name"},
    {"--json --csv", "--json and --csv exclude each other"},
    {"--json=1", "--json takes no value"},
    {"--bogus", "unknown option '--bogus'"},
    {"--bogus=1", "unknown option '--bogus=1'"},
    {"-s 3", "unknown option '-s'"},
    {"--diagnose --csv", "--diagnose reports as text or --json, not --csv"},
    {"--csv --diagnose", "not --csv"},
    {"--diagnose --wait-for 2", "cannot end early with --wait-for"},
    {"--diagnose=1", "--diagnose takes no value"},
    {"--watch --json", "--watch writes JSON lines"},
    {"--watch --seconds 5", "--watch runs until stopped"},
    {"--watch --wait-for 2", "--watch runs until stopped"},
    {"--watch --diagnose", "--diagnose, --history, --forget and --watch exclude each other"},
    {"--watch=1", "--watch takes no value"},
    {"--silent-after 5", "--silent-after goes with --watch"},
    {"--metrics 127.0.0.1:6070 --json", "--metrics goes with --watch"},
    {"--state f.db --diagnose", "--state goes with --history or --forget, or --watch"},
    {"--watch --silent-after 0", "--silent-after wants a whole number of seconds from 1 to 86400"},
    {"--watch --silent-after 86401", "--silent-after wants"},
    {"--watch --silent-after 1.5", "--silent-after wants"},
    {"--watch --state ''", "--state needs a file name"},
    {"--watch --metrics 6070", "--metrics '6070': give an address and a port"},
    {"--watch --metrics localhost:6070", "is not an IPv4 address"},
    {"--watch --metrics", "--metrics needs a value"},
    {"--history --csv", "--history prints text or --json, not --csv"},
    {"--history --seconds 2", "--history reads the book and does not search"},
    {"--history --target 10.20.0.7", "does not search"},
    {"--forget K1 --verbose", "--forget reads the book and does not search"},
    {"--forget K1 --json", "--forget prints nothing to format"},
    {"--forget", "--forget needs a value"},
    {"--forget ''", "--forget needs a server's ID"},
    {"--history --forget K1", "exclude each other"},
    {"--diagnose --history", "exclude each other"},
    {"--history=1", "--history takes no value"},
    {"--state s.db", "--state goes with --history or --forget"},
    {"--history --state ''", "--state needs a file name"},
};

TEST(ParseScanOptions, BadUsageSaysWhatIsWrongInOneLine)
{
    for (const RefusedCase& c : kRefused) {
        SCOPED_TRACE(c.arguments);
        const ScanOptionsParse parsed = ParseScanOptions(Words(c.arguments));
        EXPECT_FALSE(parsed.options.has_value());
        EXPECT_NE(parsed.error.find(c.says), std::string::npos) << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(ParseScanOptions, ValuesComeAfterABlankOrAnEqualsSign)
{
    const ScanOptionsParse parsed =
        ParseScanOptions(Words("--seconds=1 --wait-for=5 --target 10.20.0.7 --target=10.20.0.0/24 --interface eth0 "
                               "--interface=eth1 --csv --verbose"));
    ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
    const ScanOptions& o = *parsed.options;
    EXPECT_EQ(o.seconds, 1.0);
    EXPECT_EQ(o.waitFor, 5u);
    ASSERT_EQ(o.targets.size(), 2u);
    EXPECT_EQ(o.targets[1].written, "10.20.0.0/24");
    EXPECT_EQ(o.interfaces, (std::vector<std::string>{"eth0", "eth1"}));
    EXPECT_EQ(o.format, ScanOptions::Format::kCsv);
    EXPECT_TRUE(o.verbose);

    for (const auto& [text, seconds] : {std::pair{"1.5", 1.5}, {"0.25", 0.25}, {"86400", 86400.0}, {"007", 7.0}}) {
        const ScanOptionsParse p = ParseScanOptions({"--seconds", text});
        ASSERT_TRUE(p.options) << text << ": " << p.error;
        EXPECT_EQ(p.options->seconds, seconds) << text;
    }
    EXPECT_EQ(ParseScanOptions({"--wait-for", "1000000"}).options->waitFor, 1000000u);
    EXPECT_EQ(ParseScanOptions({}).options->format, ScanOptions::Format::kTable);
}

TEST(ParseScanOptions, WatchKeepsTheSearchOptionsAndItsOwn)
{
    const ScanOptionsParse parsed = ParseScanOptions(
        Words("--watch --silent-after=5 --state /var/lib/x/servers.db --metrics 0.0.0.0:6070 --target 10.31.1.7 "
              "--interface vh1"));
    ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
    const ScanOptions& o = *parsed.options;
    EXPECT_EQ(o.action, ScanOptions::Action::kWatch);
    EXPECT_EQ(o.silentAfter, 5u);
    EXPECT_EQ(o.stateFile, "/var/lib/x/servers.db");
    ASSERT_TRUE(o.metrics.has_value());
    EXPECT_EQ(o.metrics->port, 6070);
    EXPECT_EQ(o.metrics->address, 0u);
    EXPECT_EQ(o.targets.size(), 1u);
    EXPECT_EQ(o.interfaces, std::vector<std::string>{"vh1"});
    const ScanOptionsParse plain = ParseScanOptions(Words("--watch"));
    ASSERT_TRUE(plain.options.has_value());
    EXPECT_EQ(plain.options->silentAfter, 60u) << "the default threshold";
    EXPECT_FALSE(plain.options->metrics.has_value()) << "no HTTP unless asked for";
    EXPECT_FALSE(plain.options->stateFile.has_value());
}

TEST(ParseScanOptions, DiagnoseKeepsTheSearchOptions)
{
    const ScanOptionsParse parsed =
        ParseScanOptions(Words("--seconds 2 --diagnose --json --target 10.31.1.0/24 --interface vh1 --verbose"));
    ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
    const ScanOptions& o = *parsed.options;
    EXPECT_EQ(o.action, ScanOptions::Action::kDiagnose);
    EXPECT_EQ(o.seconds, 2.0);
    EXPECT_EQ(o.format, ScanOptions::Format::kJson);
    EXPECT_EQ(o.targets.size(), 1u);
    EXPECT_EQ(o.interfaces, std::vector<std::string>{"vh1"});
    EXPECT_EQ(ParseScanOptions(Words("--diagnose --help")).options->action, ScanOptions::Action::kHelp);
}

TEST(ParseScanOptions, HistoryAndForgetTakeTheBookToRead)
{
    const ScanOptionsParse history = ParseScanOptions(Words("--history --json --state /tmp/other.db"));
    ASSERT_TRUE(history.options.has_value()) << history.error;
    EXPECT_EQ(history.options->action, ScanOptions::Action::kHistory);
    EXPECT_EQ(history.options->format, ScanOptions::Format::kJson);
    EXPECT_EQ(history.options->stateFile, "/tmp/other.db");
    EXPECT_FALSE(ParseScanOptions(Words("--history")).options->stateFile) << "the program's own book";

    const ScanOptionsParse forget = ParseScanOptions(Words("--forget=KORVAN-0003@10.0.0.35"));
    ASSERT_TRUE(forget.options.has_value()) << forget.error;
    EXPECT_EQ(forget.options->action, ScanOptions::Action::kForget);
    EXPECT_EQ(forget.options->forget, "KORVAN-0003@10.0.0.35");
}

TEST(ParseScanOptions, HelpAndVersionWinOverWhatFollows)
{
    EXPECT_EQ(ParseScanOptions(Words("--json --help --bogus")).options->action, ScanOptions::Action::kHelp);
    EXPECT_EQ(ParseScanOptions(Words("--version --seconds 0")).options->action, ScanOptions::Action::kVersion);
    EXPECT_FALSE(ParseScanOptions(Words("--bogus --help")).options) << "but not over what precedes";
}

}  // namespace
