#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Sends UDP datagrams with any IPv4 source address, the way anyone on a LAN
// can: a raw socket writes the IP header itself. Needs root and sends real
// packets, so only inside the lab's private network namespace.
class RawUdpSender final
{
public:
    RawUdpSender();
    ~RawUdpSender();
    RawUdpSender(const RawUdpSender&) = delete;
    RawUdpSender& operator=(const RawUdpSender&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // `payload` up to 65 507 bytes (the most an IPv4 UDP datagram carries).
    // False when the kernel refuses it.
    bool Send(std::uint32_t source, std::uint16_t sourcePort, std::uint32_t destination, std::uint16_t destinationPort,
              std::string_view payload);

    // Host-order address from dotted text; 0 for bad text.
    static std::uint32_t Address(const std::string& dotted);
    static std::string Dotted(std::uint32_t address);

private:
    int m_fd = -1;
};
