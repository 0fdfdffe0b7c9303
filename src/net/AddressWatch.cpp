#include "net/AddressWatch.h"

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

AddressWatch::AddressWatch()
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0)
        return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_LINK;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd);
        return;
    }
    m_fd = fd;
}

AddressWatch::~AddressWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool AddressWatch::Drain()
{
    if (m_fd < 0)
        return false;
    bool changed = false;
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            changed = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // ENOBUFS: notifications were lost, which is a change of unknown kind.
        if (n < 0 && errno == ENOBUFS) {
            changed = true;
            continue;
        }
        return changed;
    }
}
