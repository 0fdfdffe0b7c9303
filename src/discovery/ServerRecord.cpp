#include "discovery/ServerRecord.h"

#include "base/LocaleText.h"
#include "discovery/ServerFields.h"

#include <cstdio>

namespace {

using FieldPointer = std::u16string ServerRecord::*;

// Reply lines in wire order. Line 6 is the server's own idea of its MAC: it
// is read into Mac only to be replaced by what the neighbour table says.
constexpr std::array<FieldPointer, 8> kLineTargets = {
    &ServerRecord::Name,       &ServerRecord::Port, &ServerRecord::Version,  &ServerRecord::Serial,
    &ServerRecord::DeviceType, &ServerRecord::Mac,  &ServerRecord::KorvanID, &ServerRecord::UpTime};

}  // namespace

std::u16string& ServerRecord::Field(std::size_t i)
{
    return this->*kServerFields.at(i).member;
}

const std::u16string& ServerRecord::Field(std::size_t i) const
{
    return this->*kServerFields.at(i).member;
}

ServerRecord ParseReply(std::string_view payload, std::string_view senderIp, const std::optional<MacAddress>& mac)
{
    if (const auto nul = payload.find('\0'); nul != std::string_view::npos)
        payload = payload.substr(0, nul);

    const std::u16string text = DecodeReplyText(payload);
    std::u16string_view rest = text;

    ServerRecord record;
    for (FieldPointer target : kLineTargets) {
        const auto lf = rest.find(u'\n');
        if (lf == std::u16string_view::npos)
            break;
        record.*target = rest.substr(0, lf);
        rest.remove_prefix(lf + 1);
    }
    record.Mac = mac ? FormatMac(*mac) : std::u16string();
    record.IP = DecodeLocal8Bit(senderIp);
    return record;
}

std::u16string FormatMac(const MacAddress& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return std::u16string(text, text + 17);
}

std::string ProbePayload(std::int32_t counter)
{
    char text[32];
    const int n = std::snprintf(text, sizeof text, "Message %d", counter);
    std::string payload(text, static_cast<std::size_t>(n));
    payload.push_back('\0');
    return payload;
}
