#pragma once

#include "discovery/ServerRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Wake-on-LAN for a listed server: the magic packet to its hardware address,
// broadcast on UDP port 9 through one adapter. Callers: the window's "Wake"
// action and vindrel-scan, with the Mac text of a record (ServerRecord::Mac)
// and the adapter the server was heard on. Sends a real packet: tests run it
// only inside the lab (scripts/netlab.sh).

constexpr std::size_t kMagicPacketSize = 102;
using MagicPacket = std::array<std::uint8_t, kMagicPacketSize>;

// Six 0xFF bytes, then the address sixteen times.
MagicPacket BuildMagicPacket(const MacAddress& mac);

// The address of a Mac text as FormatMac writes it: "00-11-32-AB-CD-EF"
// (hex digits of either case). Anything else, the all-zero address and
// group (multicast, broadcast) addresses are refused with a one-line reason
// in `error`.
std::optional<MacAddress> ParseMacText(std::string_view text, std::string& error);

// The adapter to send through: its kernel interface index and/or one of its
// local IPv4 addresses (dotted). With both empty the system picks, which on
// a host with several networks may be the wrong one.
struct WakeVia
{
    unsigned interfaceIndex = 0;
    std::string localAddress;
};

struct WakeResult
{
    bool sent = false;
    std::string error;  // one line for a person when not sent
};

// Broadcasts the magic packet for `macText` to 255.255.255.255:`port` from
// the adapter `via`: bound to its local address, pinned to its interface
// with IP_PKTINFO (on Windows the bound address pins it), SO_BROADCAST set. Never throws; blocks only for the send.
WakeResult SendWakeOnLan(std::string_view macText, const WakeVia& via, std::uint16_t port = 9);
