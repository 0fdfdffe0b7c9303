#include "actions/WakeOnLan.h"

#include "base/ErrorText.h"
#include "net/UdpSocket.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

WakeResult Failed(std::string line)
{
    return {false, std::move(line)};
}

}  // namespace

MagicPacket BuildMagicPacket(const MacAddress& mac)
{
    MagicPacket packet{};
    for (std::size_t i = 0; i < 6; ++i)
        packet[i] = 0xFF;
    for (std::size_t k = 0; k < 16; ++k)
        for (std::size_t i = 0; i < 6; ++i)
            packet[6 + k * 6 + i] = mac[i];
    return packet;
}

std::optional<MacAddress> ParseMacText(std::string_view text, std::string& error)
{
    MacAddress mac{};
    bool ok = text.size() == 17;
    for (std::size_t i = 0; ok && i < 6; ++i) {
        const int high = HexDigit(text[i * 3]);
        const int low = HexDigit(text[i * 3 + 1]);
        ok = high >= 0 && low >= 0 && (i == 5 || text[i * 3 + 2] == '-');
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    if (!ok) {
        error = "not a hardware address: \"" + std::string(text.substr(0, 40)) +
                "\" (expected six hex pairs joined by hyphens, like 00-11-32-AB-CD-EF)";
        return std::nullopt;
    }
    if (mac == MacAddress{}) {
        error = "00-00-00-00-00-00 is no device's hardware address";
        return std::nullopt;
    }
    if (mac[0] & 0x01) {
        error = std::string(text) + " is a group (multicast or broadcast) address, not a device's";
        return std::nullopt;
    }
    return mac;
}

WakeResult SendWakeOnLan(std::string_view macText, const WakeVia& via, std::uint16_t port)
{
    std::string error;
    const std::optional<MacAddress> mac = ParseMacText(macText, error);
    if (!mac)
        return Failed(error);
    in_addr local{};
    if (!via.localAddress.empty() && inet_pton(AF_INET, via.localAddress.c_str(), &local) != 1)
        return Failed("not an IPv4 address: \"" + via.localAddress.substr(0, 40) + "\"");

    UdpSocket s;
    if (const int error = s.Open(false))
        return Failed("cannot open a UDP socket: " + ErrorText(error));
    if (const int error = s.EnableBroadcast())
        return Failed("cannot allow broadcasts: " + ErrorText(error));
    if (!via.localAddress.empty()) {
        if (const int error = s.Bind(local.s_addr, 0))
            return Failed("cannot send from " + via.localAddress + ": " + ErrorText(error));
    }

    const MagicPacket packet = BuildMagicPacket(*mac);
    // A broadcast leaves through the adapter the server was heard on, never
    // the default route's.
    const std::string_view bytes(reinterpret_cast<const char*>(packet.data()), packet.size());
    if (const int error = s.SendTo(bytes, htonl(INADDR_BROADCAST), port, via.interfaceIndex, local.s_addr))
        return Failed("cannot send the wake-up packet: " + ErrorText(error));
    return {true, {}};
}
