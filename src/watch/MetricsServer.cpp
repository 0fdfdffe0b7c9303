#include "watch/MetricsServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <microhttpd.h>
#include <netinet/in.h>

struct MetricsServer::Daemon
{
    Pages pages;
    MHD_Daemon* daemon = nullptr;
};

namespace {

MHD_Result Send(MHD_Connection* connection, unsigned status, std::string_view body, const char* contentType,
                const char* allow = nullptr)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    if (allow)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

// libmicrohttpd calls this for every request once its headers are in; a body
// (which no allowed method has) arrives in further calls, which are answered
// without reading it.
MHD_Result Answer(void* cls, MHD_Connection* connection, const char* url, const char* method, const char* /*version*/,
                  const char* /*uploadData*/, size_t* uploadSize, void** /*state*/)
{
    const auto& pages = *static_cast<const MetricsServer::Pages*>(cls);
    *uploadSize = 0;
    const std::string_view m(method);
    if (m != MHD_HTTP_METHOD_GET && m != MHD_HTTP_METHOD_HEAD)
        return Send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Only GET and HEAD.\n", "text/plain; charset=utf-8",
                    "GET, HEAD");
    const std::optional<MetricsServer::Page> page = pages(url);
    if (!page)
        return Send(connection, MHD_HTTP_NOT_FOUND, "Not found: /metrics and /targets are served.\n",
                    "text/plain; charset=utf-8");
    // HEAD: libmicrohttpd sends the headers, Content-Length included, and no body.
    return Send(connection, MHD_HTTP_OK, page->body, page->contentType.c_str());
}

}  // namespace

MetricsServer::MetricsServer() = default;

MetricsServer::~MetricsServer()
{
    Stop();
}

bool MetricsServer::Available()
{
    return true;
}

bool MetricsServer::Start(const ListenAddress& address, Pages pages, const Limits& limits)
{
    Stop();
    m_error.clear();
    auto daemon = std::make_unique<Daemon>();
    daemon->pages = std::move(pages);
    sockaddr_in bindTo{};
    bindTo.sin_family = AF_INET;
    bindTo.sin_addr.s_addr = address.address;
    bindTo.sin_port = htons(address.port);
    errno = 0;
    // One internal thread polls every connection; no thread per connection,
    // so a crowd of clients costs descriptors and buffers, both capped.
    daemon->daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL, address.port, nullptr, nullptr, &Answer, &daemon->pages,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<const sockaddr*>(&bindTo), MHD_OPTION_CONNECTION_LIMIT,
        limits.connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits.connectionsPerClient,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits.connectionMemory, MHD_OPTION_CONNECTION_TIMEOUT,
        limits.idleSeconds, MHD_OPTION_END);
    if (!daemon->daemon) {
        const int error = errno;
        m_error = "cannot serve HTTP on " + address.text + ": " +
                  (error == EADDRINUSE      ? std::string("the port is in use")
                   : error == EADDRNOTAVAIL ? std::string("the address is not one of this machine's")
                   : error != 0             ? std::string(std::strerror(error))
                                            : std::string("the HTTP server did not start"));
        return false;
    }
    m_daemon = std::move(daemon);
    return true;
}

void MetricsServer::Stop()
{
    if (m_daemon && m_daemon->daemon)
        MHD_stop_daemon(m_daemon->daemon);
    m_daemon.reset();
}

std::uint16_t MetricsServer::Port() const
{
    if (!m_daemon)
        return 0;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}
