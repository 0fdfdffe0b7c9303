#pragma once

#include "net/SocketApi.h"

// Tells when the machine's IPv4 addresses or links change: an rtnetlink
// socket subscribed to address and link notifications, to be polled with
// the thread's other descriptors (AddressWatch_win.cpp: the system's change
// notifications, passed on through a loopback socket). It only says that
// something changed; the caller reads the new set itself
// (ListLocalInterfaces), so there is one way of reading addresses and
// nothing to go out of step.
class AddressWatch final
{
public:
    // Subscribes now, so that a change right after is not missed. Without
    // netlink (a sandbox may refuse it) IsOpen is false and the caller
    // rescans on a timer instead.
    AddressWatch();
    ~AddressWatch();
    AddressWatch(const AddressWatch&) = delete;
    AddressWatch& operator=(const AddressWatch&) = delete;

    bool IsOpen() const { return m_fd != kNoSocket; }
    SocketHandle Fd() const { return m_fd; }

    // Reads every pending notification without blocking; true when any came
    // or some were lost (the kernel's buffer overflowed): rescan then.
    bool Drain();

private:
    SocketHandle m_fd = kNoSocket;
    // Windows only: the address and interface change notifications.
    [[maybe_unused]] void* m_addressNotice = nullptr;
    [[maybe_unused]] void* m_interfaceNotice = nullptr;
};
