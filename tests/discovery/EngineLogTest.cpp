#include "discovery/EngineLog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Kind = EngineLog::Kind;
using namespace std::chrono_literals;

// A pipe whose read end never blocks, so that a test can take what is there.
struct Pipe
{
    int read = -1;
    int write = -1;

    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
            fcntl(read, F_SETFL, O_NONBLOCK);
        }
    }
    ~Pipe()
    {
        CloseRead();
        if (write >= 0)
            close(write);
    }
    void CloseRead()
    {
        if (read >= 0)
            close(read);
        read = -1;
    }
    std::string Drain() const
    {
        std::string text;
        char chunk[4096];
        for (ssize_t n; (n = ::read(read, chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<std::size_t>(n));
        return text;
    }
};

class EngineLogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // As in the front ends: a reader that is gone must be an error, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
        unsetenv("JOURNAL_STREAM");
    }
};

TEST_F(EngineLogTest, LinesReachAPipeExactlyAsGiven)
{
    Pipe pipe;
    EngineLog out(pipe.write);
    out.Write("Message 1\n", Kind::kProgress);
    out.Write("setsockopt failed. ip=[10.0.0.1] errno=[13]", Kind::kError);
    out.Write("Receiving datagrams...\n", Kind::kProgress);
    EXPECT_EQ(pipe.Drain(), "Message 1\nsetsockopt failed. ip=[10.0.0.1] errno=[13]Receiving datagrams...\n");
    EXPECT_FALSE(out.HasFailed());
}

struct FailureCase
{
    const char* why;
    int (*open)(Pipe& pipe);  // gives the descriptor to write to
};

const FailureCase kFailureCases[] = {
    {"a full disk (/dev/full) fails with ENOSPC", [](Pipe&) { return ::open("/dev/full", O_WRONLY | O_CLOEXEC); }},
    {"a pipe whose reader is gone fails with EPIPE",
     [](Pipe& pipe) {
         pipe.CloseRead();
         return dup(pipe.write);
     }},
};

TEST_F(EngineLogTest, AFailedWriteEndsWritingForGood)
{
    for (const FailureCase& c : kFailureCases) {
        SCOPED_TRACE(c.why);
        Pipe broken;
        const int fd = c.open(broken);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        EngineLog out(fd);
        out.Write("error! error code is 98\n", Kind::kError);
        EXPECT_TRUE(out.HasFailed());

        // The same descriptor number now leads somewhere that works: nothing
        // more may be written there.
        Pipe fresh;
        ASSERT_EQ(dup2(fresh.write, fd), fd);
        out.Write("Message 2\n", Kind::kProgress);
        out.Write("error! error code is 98\n", Kind::kError);
        EXPECT_EQ(fresh.Drain(), "");
        close(fd);
    }
}

TEST_F(EngineLogTest, AFullPipeNeverBlocksAndTheLossIsReportedOnceItDrains)
{
    Pipe pipe;
    // Two pages: poll() calls a pipe writable while it has a free page.
    ASSERT_GT(fcntl(pipe.write, F_SETPIPE_SZ, 8192), 0);
    // Fill it through a second, non-blocking open of the same pipe; the
    // output's own descriptor stays blocking, as standard output is.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(pipe.write)).c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0) << std::strerror(errno);
    const std::string block(512, 'x');
    while (write(filler, block.data(), block.size()) > 0) {}
    ASSERT_EQ(errno, EAGAIN);
    close(filler);

    EngineLog out(pipe.write);
    auto writes = std::async(std::launch::async, [&] {
        for (int i = 1; i <= 5; ++i)
            out.Write("Message " + std::to_string(i) + "\n", Kind::kProgress);
    });
    const bool returned = writes.wait_for(2s) == std::future_status::ready;
    if (!returned)
        pipe.Drain();  // release the writer before failing
    ASSERT_TRUE(returned) << "a write blocked on the full pipe";
    EXPECT_FALSE(out.HasFailed());

    const std::string filled = pipe.Drain();
    EXPECT_FALSE(filled.empty());
    EXPECT_EQ(filled.find_first_not_of('x'), std::string::npos) << "no line was squeezed in";
    out.Write("Message 6\n", Kind::kProgress);
    EXPECT_EQ(pipe.Drain(), "(5 diagnostic lines dropped: the diagnostic output was full)\nMessage 6\n");
}

TEST_F(EngineLogTest, TheJournalGetsTheErrorsButNotALinePerDatagramOrProbe)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    fcntl(pair[1], F_SETFL, O_NONBLOCK);
    struct stat info
    {};
    ASSERT_EQ(fstat(pair[0], &info), 0);
    const std::string stream = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    const auto received = [&] {
        std::string text;
        char chunk[4096];
        for (ssize_t n; (n = read(pair[1], chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<std::size_t>(n));
        return text;
    };

    setenv("JOURNAL_STREAM", stream.c_str(), 1);
    {
        EngineLog out(pair[0]);
        EXPECT_TRUE(out.IsJournal());
        out.Write("Receiving datagrams...\n", Kind::kProgress);
        out.Write("Message 1\n", Kind::kProgress);
        out.Write("recvfrom failed with error 9\n", Kind::kError);
        EXPECT_EQ(received(), "recvfrom failed with error 9\n");
    }
    // Another stream in the variable (a parent's journal, inherited): the
    // descriptor is not the journal, so every line goes out.
    setenv("JOURNAL_STREAM", (std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino + 1)).c_str(), 1);
    {
        EngineLog out(pair[0]);
        EXPECT_FALSE(out.IsJournal());
        out.Write("Message 1\n", Kind::kProgress);
        EXPECT_EQ(received(), "Message 1\n");
    }
    unsetenv("JOURNAL_STREAM");
    close(pair[0]);
    close(pair[1]);
}

TEST_F(EngineLogTest, OnlyAWellFormedJournalStreamCounts)
{
    Pipe pipe;
    struct stat info
    {};
    ASSERT_EQ(fstat(pipe.write, &info), 0);
    const std::string dev = std::to_string(info.st_dev);
    const std::string ino = std::to_string(info.st_ino);
    EXPECT_TRUE(EngineLog::IsJournalStream(pipe.write, (dev + ":" + ino).c_str()));
    const std::string malformed[] = {"",
                                     ":",
                                     dev,
                                     dev + ":",
                                     ":" + ino,
                                     " " + dev + ":" + ino,
                                     dev + ":" + ino + " ",
                                     dev + ":" + ino + ":1",
                                     "-" + dev + ":" + ino,
                                     "x:y"};
    for (const std::string& bad : malformed) {
        SCOPED_TRACE("'" + bad + "'");
        EXPECT_FALSE(EngineLog::IsJournalStream(pipe.write, bad.c_str()));
    }
    EXPECT_FALSE(EngineLog::IsJournalStream(pipe.write, nullptr));
}

}  // namespace
