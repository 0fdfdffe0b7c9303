#pragma once

#include "net/MacAddress.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


// One Korvan server as a reply describes it. The field order is a contract
// with the server list, which shows field i under its i-th label and finds an
// already listed server by IP. Every field holds the server's text as sent;
// nothing reads a field as a number.
struct ServerRecord
{
    static constexpr std::size_t kFieldCount = 9;

    std::u16string Name;
    std::u16string IP;
    std::u16string Port;
    std::u16string Version;
    std::u16string Serial;
    std::u16string Mac;
    std::u16string DeviceType;
    std::u16string KorvanID;
    std::u16string UpTime;

    // Field i in the fixed order above (see discovery/ServerFields.h); i must
    // be below kFieldCount.
    std::u16string& Field(std::size_t i);
    const std::u16string& Field(std::size_t i) const;

    bool operator==(const ServerRecord&) const = default;
};

// Turns a reply into a record. `payload` is the datagram's text, which ends at
// its first NUL byte; `senderIp` is the sender's dotted address. Lines are
// LF-ended: Name, Port, Version, Serial, DeviceType, (the server's own MAC
// text, never kept), KorvanID, UpTime. A missing line leaves its field and
// every later one empty; CRs are kept; nothing is trimmed. `mac` is the
// sender's hardware address, or nullopt when none is known, which leaves Mac
// empty. Never fails: any input yields a record.
ServerRecord ParseReply(std::string_view payload, std::string_view senderIp, const std::optional<MacAddress>& mac);

// "00-11-32-AB-CD-EF": two upper-case hex digits per byte, hyphen-joined.
std::u16string FormatMac(const MacAddress& mac);

// The probe datagram's payload: "Message <counter>" and its terminating NUL.
std::string ProbePayload(std::int32_t counter);
