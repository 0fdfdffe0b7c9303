#include "app/InstanceActivation.h"

#include "app/SingleInstance.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char kShowRequest[] = "show\n";

std::string SocketPath(const SingleInstance& guard)
{
    return guard.LockPath().empty() ? std::string() : guard.LockPath() + ".sock";
}

// False when the path does not fit a socket address.
bool FillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

ActivationListener::ActivationListener(const SingleInstance& guard, QObject* parent)
    : QObject(parent)
    , m_path(SocketPath(guard))
{
    sockaddr_un address{};
    if (!FillAddress(m_path, address))
        return;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // We hold the lock, so a socket left there is a crashed instance's.
    ::unlink(m_path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return;
    }
    m_fd = fd;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ActivationListener::Accept);
}

ActivationListener::~ActivationListener()
{
    if (m_fd < 0)
        return;
    close(m_fd);
    ::unlink(m_path.c_str());
}

void ActivationListener::Accept()
{
    for (;;) {
        const int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0)
            return;
        // A peer of our own user (the folder is private) that sent anything
        // at all: the request is the connection itself.
        char request[16];
        [[maybe_unused]] const ssize_t n = read(client, request, sizeof request);
        close(client);
        emit Activated();
    }
}

bool AskRunningInstanceToShow(const SingleInstance& guard)
{
    sockaddr_un address{};
    if (!FillAddress(SocketPath(guard), address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool asked = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                       write(fd, kShowRequest, sizeof kShowRequest - 1) > 0;
    close(fd);
    return asked;
}
