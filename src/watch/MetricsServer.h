#pragma once

#include "watch/ListenAddress.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The agent's HTTP side: GET and HEAD of a fixed set of paths, each page made
// on request by a callback; anything else gets 405 (another method, with an
// Allow header) or 404 (another path). The parsing, the limits and the
// timeouts are libmicrohttpd's, run on one thread of its own, so that a bad
// or slow client can cost a connection slot for a while but never the
// agent's discovery.
class MetricsServer final
{
public:
    struct Page
    {
        std::string body;
        std::string contentType;
    };
    // Called on the server's thread, one request at a time; nullopt: 404.
    using Pages = std::function<std::optional<Page>(std::string_view path)>;

    struct Limits
    {
        unsigned connections = 64;        // at once, all clients together
        unsigned connectionsPerClient = 8;  // at once from one address: one client cannot take every slot
        // A connection's buffer for the request line and headers; a request
        // that does not fit gets 431 and is closed.
        std::size_t connectionMemory = 32 * 1024;
        unsigned idleSeconds = 10;  // a connection with nothing to do is closed after this
    };

    MetricsServer();
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Binds and starts serving; false with Error() saying why in one line
    // (port taken, address not local, or no server on this system).
    bool Start(const ListenAddress& address, Pages pages, const Limits& limits);
    bool Start(const ListenAddress& address, Pages pages) { return Start(address, std::move(pages), Limits{}); }
    // Ends the thread and closes every connection; idempotent.
    void Stop();
    // The bound port (the one chosen when the address asked for 0).
    std::uint16_t Port() const;
    const std::string& Error() const { return m_error; }

    // Whether this build can serve at all (false on Windows for now).
    static bool Available();

private:
    struct Daemon;
    std::unique_ptr<Daemon> m_daemon;
    std::string m_error;
};
