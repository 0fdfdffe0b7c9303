// vindrel-scan --history and --forget on a real book in a temporary folder:
// the program itself, run as a script would, reading what the window wrote.
#include "HistoryOutput.h"
#include "book/ServerBook.h"
#include "book/ServerTracker.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::system_clock;

const Clock::time_point kT0 = Clock::time_point(1'765'468'800s);  // 2025-12-11T16:00:00Z

struct ScanRun
{
    int exit = -1;
    std::string out;
};

ScanRun Scan(const std::string& arguments)
{
    const std::string command = std::string(VINDREL_BIN_DIR) + "/vindrel-scan " + arguments + " 2>&1";
    ScanRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ServerRecord Server(std::u16string ip, std::u16string name, std::u16string version)
{
    ServerRecord r;
    r.Name = std::move(name);
    r.IP = std::move(ip);
    r.Port = u"80";
    r.Version = std::move(version);
    r.KorvanID = u"KORVAN-0003";
    r.UpTime = u"3d 4h";
    return r;
}

class History : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vindrel-history-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        m_dir = pattern;
        m_book = (m_dir / "servers.db").string();
        // Found, then moved; a name that is markup and a terminal escape.
        ServerTracker tracker;
        BookOptions o;
        o.path = m_book;
        ServerBook book(o);
        const std::u16string hostile = u"<a href=\"file:///etc/passwd\">x</a>\x1b[2J";
        auto events = tracker.Observe({{Server(u"10.0.0.20", hostile, u"2.1.4"), {}, 0, 0}}, kT0);
        book.Record(std::move(events), tracker.TakeChanged());
        events = tracker.Observe({{Server(u"10.0.0.35", hostile, u"2.1.5"), {}, 0, 0}}, kT0 + 90min);
        book.Record(std::move(events), tracker.TakeChanged());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    std::string m_book;
};

TEST_F(History, JsonSaysEveryServerItsFieldsAndEventsInUtc)
{
    const ScanRun run = Scan("--history --json --state " + m_book);
    ASSERT_EQ(run.exit, 0) << run.out;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json["servers"].size(), 1u);
    const auto& s = json["servers"][0];
    EXPECT_EQ(s["id"], "KORVAN-0003");
    EXPECT_EQ(s["lastAddress"], "10.0.0.35");
    EXPECT_EQ(s["firstSeen"], "2025-12-11T16:00:00Z");
    EXPECT_EQ(s["lastSeen"], "2025-12-11T17:30:00Z");
    EXPECT_EQ(s["fields"]["Name"], "<a href=\"file:///etc/passwd\">x</a>\x1b[2J") << "the text as sent";
    EXPECT_EQ(s["fields"]["Version"], "2.1.5");
    EXPECT_EQ(s["fields"].size(), 9u);
    const nlohmann::json expected = nlohmann::json::parse(R"([
        {"kind": "found", "at": "2025-12-11T16:00:00Z", "from": "", "to": "10.0.0.20"},
        {"kind": "moved", "at": "2025-12-11T17:30:00Z", "from": "10.0.0.20", "to": "10.0.0.35"},
        {"kind": "version", "at": "2025-12-11T17:30:00Z", "from": "2.1.4", "to": "2.1.5"}])");
    EXPECT_EQ(s["events"], expected);
    EXPECT_EQ(fs::exists(m_dir / "servers.db.broken"), false);
}

TEST_F(History, TextIsForPeopleAndKeepsEscapesOffTheTerminal)
{
    const ScanRun run = Scan("--history --state " + m_book);
    ASSERT_EQ(run.exit, 0) << run.out;
    EXPECT_NE(run.out.find("KORVAN-0003  last seen 2025-12-11T17:30:00Z at 10.0.0.35"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("moved"), std::string::npos);
    EXPECT_NE(run.out.find("10.0.0.20 -> 10.0.0.35"), std::string::npos);
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << "no escape reaches the terminal";
    EXPECT_NE(run.out.find("<a href="), std::string::npos) << "markup is just text";
}

TEST_F(History, ForgetRemovesOneServerAndSaysWhenThereIsNone)
{
    EXPECT_EQ(Scan("--forget KORVAN-0003 --state " + m_book).exit, 0);
    const ScanRun again = Scan("--forget KORVAN-0003 --state " + m_book);
    EXPECT_EQ(again.exit, 1);
    EXPECT_NE(again.out.find("knows no server KORVAN-0003"), std::string::npos) << again.out;
    const auto json = nlohmann::json::parse(Scan("--history --json --state " + m_book).out);
    EXPECT_TRUE(json["servers"].empty());
}

TEST_F(History, ABookThatCannotBeReadIsOneLineAndExitOne)
{
    const std::string garbage = (m_dir / "garbage.db").string();
    std::FILE* f = std::fopen(garbage.c_str(), "wb");
    std::fputs("this is not a database, and never was one; long enough to have a header....", f);
    std::fclose(f);
    const ScanRun run = Scan("--history --state " + garbage);
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
    EXPECT_NE(run.out.find("is not a server book"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::exists(garbage)) << "a reader moves nothing aside";

    const ScanRun missing = Scan("--history --json --state " + (m_dir / "none.db").string());
    EXPECT_EQ(missing.exit, 0);
    EXPECT_EQ(nlohmann::json::parse(missing.out)["servers"].size(), 0u);
    EXPECT_FALSE(fs::exists(m_dir / "none.db")) << "reading made no file";
}

}  // namespace
