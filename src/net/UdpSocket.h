#pragma once

#include "net/SocketApi.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

// One IPv4 UDP socket, and the few things the engine asks of one: the system
// calls of the listener, the probes and the wake-up packet, so that their
// logic is the same on every system (UdpSocket.cpp: BSD sockets;
// UdpSocket_win.cpp: Windows Sockets). Addresses are in network byte order,
// ports in host order. Errors are the system's own numbers: errno, or
// WSAGetLastError() on Windows; base/ErrorText.h names both. Owned by value,
// closed with its owner; one thread at a time.
class UdpSocket final
{
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(UdpSocket&& other) noexcept
        : m_handle(std::exchange(other.m_handle, kNoSocket))
    {
    }
    UdpSocket& operator=(UdpSocket&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_handle = std::exchange(other.m_handle, kNoSocket);
        }
        return *this;
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A new socket, never inherited by programs this one starts. With
    // `nonBlocking` a send into a full buffer fails at once rather than
    // waiting. 0, or the error.
    int Open(bool nonBlocking);
    bool IsOpen() const { return m_handle != kNoSocket; }
    void Close();
    // What PollWaker::Wait polls.
    SocketHandle Handle() const { return m_handle; }

    // 0, or the error.
    int EnableBroadcast();
    // Binds to `address`:`port` (port 0: any). Never shares the port with
    // another socket: no address reuse, and on Windows SO_EXCLUSIVEADDRUSE,
    // without which another program could bind the same port over ours.
    int Bind(std::uint32_t address, std::uint16_t port);
    // Each datagram received then says where it came in (IP_PKTINFO).
    // 0, or the error; without it arrivals are unknown (0).
    int ReceiveArrivals();
    // As much as the system grants, up to `bytes`.
    void SetReceiveBuffer(int bytes);

    // Sends `data` to `address`:`port`. `ifindex` (non-zero) pins the
    // interface it leaves through and `source` (non-zero) its source address,
    // where the system can pin them per datagram (Linux: IP_PKTINFO); on
    // Windows the address the socket is bound to pins both. 0, or the error.
    int SendTo(std::string_view data, std::uint32_t address, std::uint16_t port, unsigned ifindex = 0,
               std::uint32_t source = 0);

    struct Datagram
    {
        std::size_t size = 0;     // its whole length, even when it did not fit the buffer
        sockaddr_in from{};       // the sender
        unsigned ifindex = 0;     // the interface it came in through; 0 when unknown
        std::uint32_t local = 0;  // our address it was sent to (the interface's for a broadcast); 0 when unknown
    };
    enum class Received {
        kDatagram,     // `datagram` holds it (cut to the buffer when it was longer)
        kNothing,      // a non-blocking socket has nothing waiting
        kInterrupted,  // nothing taken, for a passing reason: just try again
        kFailed,       // `error` says why
    };
    // Takes one datagram if one is waiting; never waits.
    Received Receive(char* buffer, std::size_t size, Datagram& datagram, int& error);

    // Whether `error` (of Bind) means another socket holds the port.
    static bool IsAddressInUse(int error);

private:
    SocketHandle m_handle = kNoSocket;
};
