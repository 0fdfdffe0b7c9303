// The HTTP server object on loopback, discovery off: what a client gets for
// good and bad requests, and that the bad ones never stop it.

#include "watch/MetricsServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

ListenAddress Loopback(std::uint16_t port = 0)
{
    ListenAddress a;
    a.address = htonl(INADDR_LOOPBACK);
    a.port = port;
    a.text = "127.0.0.1:" + std::to_string(port);
    return a;
}

int Connect(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The whole answer to `request`, read until the server closes or 3 s pass.
std::string Exchange(std::uint16_t port, const std::string& request)
{
    const int fd = Connect(port);
    if (fd < 0)
        return "(no connection)";
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    while (poll(&p, 1, 3000) > 0) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answer;
}

std::string StatusLine(const std::string& answer)
{
    return answer.substr(0, answer.find("\r\n"));
}

std::string Body(const std::string& answer)
{
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

class MetricsServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        MetricsServer::Limits limits;
        limits.connectionsPerClient = 4;
        limits.idleSeconds = 2;
        ASSERT_TRUE(m_server.Start(
            Loopback(),
            [this](std::string_view path) -> std::optional<MetricsServer::Page> {
                ++m_pagesAsked;
                if (path == "/metrics")
                    return MetricsServer::Page{"vindrel_listener_up 1\n", "text/plain; version=0.0.4; charset=utf-8"};
                return std::nullopt;
            },
            limits))
            << m_server.Error();
        m_port = m_server.Port();
        ASSERT_NE(m_port, 0);
    }

    MetricsServer m_server;
    std::uint16_t m_port = 0;
    std::atomic<int> m_pagesAsked{0};
};

struct RequestCase
{
    const char* why;
    std::string request;
    const char* status;
    const char* body;  // null: not checked
};

TEST_F(MetricsServerTest, EachRequestGetsItsAnswer)
{
    const std::string bigHeader = "X-Big: " + std::string(200 * 1024, 'a') + "\r\n";
    const RequestCase cases[] = {
        {"GET of the page", "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 200 OK",
         "vindrel_listener_up 1\n"},
        {"HEAD has the headers and no body", "HEAD /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK", ""},
        {"POST is not allowed", "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nConnection: close\r\n\r\nx=1",
         "HTTP/1.1 405 Method Not Allowed", nullptr},
        {"nor is DELETE", "DELETE /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 405 Method Not Allowed", nullptr},
        {"an unknown path", "GET /admin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 404 Not Found",
         nullptr},
        {"dot-dot is a path like any other", "GET /../metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 404 Not Found", nullptr},
        {"headers beyond the connection's memory",
         "GET /metrics HTTP/1.1\r\nHost: x\r\n" + bigHeader + "Connection: close\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large", nullptr},
        {"bytes that are not HTTP: closed without an answer", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", "", nullptr},
    };
    for (const RequestCase& c : cases) {
        const std::string answer = Exchange(m_port, c.request);
        EXPECT_EQ(StatusLine(answer), c.status) << c.why << "\n" << answer.substr(0, 300);
        if (c.body) {
            EXPECT_EQ(Body(answer), c.body) << c.why;
        }
    }
    const std::string post = Exchange(m_port, "POST /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_NE(post.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << post;
    EXPECT_EQ(StatusLine(Exchange(m_port, "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")),
              "HTTP/1.1 200 OK")
        << "still serving after the bad ones";
}

TEST_F(MetricsServerTest, OneClientCannotTakeEverySlotAndIdleOnesAreClosed)
{
    std::vector<int> idle;
    for (int i = 0; i < 20; ++i)
        idle.push_back(Connect(m_port));
    usleep(300 * 1000);
    int open = 0;
    for (const int fd : idle) {
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        const bool closed = fd < 0 || (poll(&p, 1, 0) > 0 && recv(fd, &c, 1, MSG_DONTWAIT) <= 0);
        open += closed ? 0 : 1;
    }
    EXPECT_LE(open, 4) << "beyond the per-client limit connections are closed at once";
    // The held ones time out after idleSeconds; then the client is served again.
    usleep(3500 * 1000);
    EXPECT_EQ(StatusLine(Exchange(m_port, "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")),
              "HTTP/1.1 200 OK");
    for (const int fd : idle)
        if (fd >= 0)
            close(fd);
}

TEST(MetricsServerStart, ATakenPortIsOneLineAndStopIsIdempotent)
{
    MetricsServer first;
    ASSERT_TRUE(first.Start(Loopback(), [](std::string_view) { return std::nullopt; }));
    MetricsServer second;
    EXPECT_FALSE(second.Start(Loopback(first.Port()), [](std::string_view) { return std::nullopt; }));
    EXPECT_NE(second.Error().find("the port is in use"), std::string::npos) << second.Error();
    EXPECT_EQ(second.Error().find('\n'), std::string::npos);
    first.Stop();
    first.Stop();
    EXPECT_EQ(first.Port(), 0);
}

}  // namespace
