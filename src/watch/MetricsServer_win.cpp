#include "watch/MetricsServer.h"

// No HTTP server in the Windows build yet: --metrics says so in one line.
struct MetricsServer::Daemon
{
};

MetricsServer::MetricsServer() = default;
MetricsServer::~MetricsServer() = default;

bool MetricsServer::Available()
{
    return false;
}

bool MetricsServer::Start(const ListenAddress& address, Pages, const Limits&)
{
    m_error = "cannot serve HTTP on " + address.text + ": --metrics is not available on Windows yet";
    return false;
}

void MetricsServer::Stop() {}

std::uint16_t MetricsServer::Port() const
{
    return 0;
}
