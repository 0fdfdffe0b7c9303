// vindrel-scan as administrators and scripts run it, inside the lab.

#include "LabSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

struct UsageCase
{
    const char* arguments;
    int exitCode;
    const char* says;
};

const UsageCase kUsageCases[] = {
    {"--help", 0, "Usage: vindrel-scan"},
    {"--bogus", 2, "unknown option '--bogus'"},
    {"--json --csv", 2, "exclude each other"},
    {"--wait-for 0", 2, "--wait-for wants"},
    {"--seconds", 2, "needs a value"},
    {"--seconds -1", 2, "--seconds wants"},
    {"--target 10.0.0.0/8", 2, "--target '10.0.0.0/8': a block may be at most a /16"},
    {"--target 10.20.0.1-", 2, "'10.20.0.1-' is not an IPv4 address"},
    {"--target", 2, "needs a value"},
    {"--interface no-such --seconds 0.5", 1, "none of the interfaces named with --interface"},
    {"--seconds 0x2", 2, "--seconds wants"},
    {"--version", 0, "vindrel-scan " VINDREL_VERSION "\n"},
    {"--diagnose --csv", 2, "--diagnose reports as text or --json, not --csv"},
    {"--diagnose --wait-for 1", 2, "cannot end early with --wait-for"},
};

TEST(ScanUsage, BadUsageExitsTwoWithOneLine)
{
    for (const UsageCase& c : kUsageCases) {
        SCOPED_TRACE(c.arguments);
        const CommandResult r = RunCommand(ScanPath() + " " + c.arguments, true);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    }
}

TEST(ScanUsage, NoIpv4InterfaceExitsOne)
{
    // A fresh namespace has only loopback.
    const CommandResult r = RunCommand("unshare --net " + ScanPath() + " --seconds 1", true);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("no network interface with an IPv4 address"), std::string::npos) << r.output;
}

TEST(ScanUsage, CsvAndJsonListEachServerOnceInFieldOrder)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 2u);

    const CommandResult csv = RunCommand(ScanPath() + " --csv --seconds 1.2");
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.output.rfind("Name,IP,Port,Version,Serial,Mac,DeviceType,KorvanID,UpTime\r\n", 0), 0u) << csv.output;
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = csv.output.find("\r\n", at)) != std::string::npos; at += 2)
        ++rows;
    EXPECT_EQ(rows, 1 + lab.servers.size()) << "one row per IP, though each server answered several probes";

    const auto begin = std::chrono::steady_clock::now();
    const CommandResult json = RunCommand(ScanPath() + " --json --wait-for 2");
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2)) << "--wait-for ends the search early";
    EXPECT_EQ(json.exitCode, 0);
    const std::size_t name = json.output.find("{\"Name\": ");
    ASSERT_NE(name, std::string::npos) << json.output;
    std::size_t last = name;
    for (const char* key : {"\"IP\"", "\"Port\"", "\"Version\"", "\"Serial\"", "\"Mac\"", "\"DeviceType\"",
                            "\"KorvanID\"", "\"UpTime\""}) {
        const std::size_t at = json.output.find(key, last);
        EXPECT_NE(at, std::string::npos) << key;
        last = at;
    }
    EXPECT_NE(
        json.output.find("\"Mac\": \"" + std::string(lab.servers[0].mac.begin(), lab.servers[0].mac.end()) + "\""),
        std::string::npos);

    const CommandResult verbose = RunCommand(ScanPath() + " --verbose --seconds 0.6 2>&1 >/dev/null");
    EXPECT_NE(verbose.output.find("Message 1\n"), std::string::npos)
        << "diagnostics go to standard error with --verbose";
    const CommandResult quiet = RunCommand(ScanPath() + " --seconds 0.6 2>&1 >/dev/null");
    EXPECT_EQ(quiet.output, "");
}

TEST(ScanUsage, TargetsFindServersWithoutBroadcastsAndInterfacesChooseWhereToBroadcast)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 2u);
    const CommandResult unicast = RunCommand(ScanPath() + " --interface no-such --target " + lab.servers[1].ip +
                                             " --target " + lab.servers[0].ip + " --csv --seconds 1.2");
    EXPECT_EQ(unicast.exitCode, 0);
    for (const LabServer& s : lab.servers)
        EXPECT_NE(unicast.output.find("," + s.ip + ","), std::string::npos) << unicast.output;
    EXPECT_EQ(std::count(unicast.output.begin(), unicast.output.end(), '\n'), 3) << unicast.output;

    const CommandResult named = RunCommand(ScanPath() + " --interface " + lab.interfaces.at(0) + " --csv --seconds 1");
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(std::count(named.output.begin(), named.output.end(), '\n'), 3) << named.output;
}

std::size_t Lines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ScanUsage, ScriptsCanTrustTheExitCode)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 2u);
    const std::string scan = ScanPath();

    // Standard error only: standard output goes where it cannot be written.
    const CommandResult full = RunCommand(scan + " --csv --seconds 0.5 2>&1 >/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.output,
              "vindrel-scan: cannot write to standard output: " + std::string(std::strerror(ENOSPC)) + "\n");

    const auto begin = std::chrono::steady_clock::now();
    const CommandResult closed = RunCommand(scan + " --csv --seconds 2 2>&1 >&-");
    EXPECT_EQ(closed.exitCode, 1);
    EXPECT_EQ(Lines(closed.output), 1u) << closed.output;
    EXPECT_NE(closed.output.find(std::strerror(EBADF)), std::string::npos) << closed.output;
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1)) << "no search nobody can read";

    const CommandResult gone =
        RunCommand("bash -c '" + scan + " --csv --seconds 0.6 | true; echo \"status ${PIPESTATUS[0]}\"'", true);
    EXPECT_NE(gone.output.find("status 1\n"), std::string::npos) << "EPIPE, not death by SIGPIPE: " << gone.output;

    const CommandResult few = RunCommand(scan + " --csv --wait-for 5 --seconds 1");
    EXPECT_EQ(few.exitCode, 3) << "fewer than asked for answered";
    EXPECT_EQ(Lines(few.output), 3u) << "but those that did are listed: " << few.output;

    const CommandResult first = RunCommand(scan + " --csv --wait-for=1");
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(Lines(first.output), 2u) << "the first one only: " << first.output;
}

TEST(ScanThousand, FindsEveryServer)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_EQ(lab.servers.size(), 1000u);
    const auto begin = std::chrono::steady_clock::now();
    const CommandResult r = RunCommand(ScanPath() + " --json --wait-for 1000 --seconds 30");
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(r.exitCode, 0);
    std::set<std::string> ips;
    for (std::size_t at = 0; (at = r.output.find("\"IP\": \"", at)) != std::string::npos;) {
        at += 7;
        ips.insert(r.output.substr(at, r.output.find('"', at) - at));
    }
    EXPECT_EQ(ips.size(), 1000u);
    for (const LabServer& s : lab.servers)
        EXPECT_EQ(ips.count(s.ip), 1u) << s.ip;
    std::printf("vindrel-scan found %zu of 1000 servers in %.3f s\n", ips.size(), took);
    RecordProperty("seconds", std::to_string(took));
}

}  // namespace
