#include "net/AddressWatch.h"

#include "net/LoopbackSignal_win.h"

#include <iphlpapi.h>
#include <netioapi.h>
#include <windows.h>

// The system calls back on a thread of its own when an IPv4 address or an
// interface comes, goes or changes state; the callback passes it on as a
// loopback signal, which the probe thread polls with its other sockets.
//
// NOTE: Wine 8 answers both registrations with NO_ERROR and a null handle,
// and never calls back (measured in the lab: an address added and removed,
// a link taken down). A null handle therefore counts as no notification:
// IsOpen is false and the probe thread reads the adapters every round
// (GetAdaptersAddresses: 2.4 ms under Wine), as it does on Linux without
// netlink.

namespace {

void WINAPI OnAddressChange(void* context, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE)
{
    SendLoopbackSignal(static_cast<SocketHandle>(reinterpret_cast<std::uintptr_t>(context)));
}

void WINAPI OnInterfaceChange(void* context, MIB_IPINTERFACE_ROW*, MIB_NOTIFICATION_TYPE)
{
    SendLoopbackSignal(static_cast<SocketHandle>(reinterpret_cast<std::uintptr_t>(context)));
}

void Cancel(void*& notice)
{
    // Returns once no callback runs any more, so the socket may close after.
    if (notice)
        CancelMibChangeNotify2(static_cast<HANDLE>(notice));
    notice = nullptr;
}

}  // namespace

AddressWatch::AddressWatch()
{
    const SocketHandle signal = OpenLoopbackSignal();
    if (signal == kNoSocket)
        return;
    // The callbacks get the socket itself, not this object: a socket number
    // stays valid while they can run.
    void* const context = reinterpret_cast<void*>(static_cast<std::uintptr_t>(signal));
    HANDLE address = nullptr;
    HANDLE link = nullptr;
    const bool subscribed =
        NotifyUnicastIpAddressChange(AF_INET, OnAddressChange, context, FALSE, &address) == NO_ERROR && address &&
        NotifyIpInterfaceChange(AF_INET, OnInterfaceChange, context, FALSE, &link) == NO_ERROR && link;
    m_addressNotice = address;
    m_interfaceNotice = link;
    if (!subscribed) {
        Cancel(m_addressNotice);
        Cancel(m_interfaceNotice);
        closesocket(signal);
        return;
    }
    m_fd = signal;
}

AddressWatch::~AddressWatch()
{
    Cancel(m_addressNotice);
    Cancel(m_interfaceNotice);
    if (m_fd != kNoSocket)
        closesocket(m_fd);
}

bool AddressWatch::Drain()
{
    return DrainLoopbackSignal(m_fd);
}
