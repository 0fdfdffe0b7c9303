#include "discovery/ProbeTarget.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Quoted(std::string_view written)
{
    return "'" + std::string(written) + "'";
}

ProbeTargetParse Refuse(std::string_view written, std::string_view why)
{
    return {std::nullopt, Quoted(written) + ": " + std::string(why)};
}

std::string Dotted(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number without sign or leading zeros, at most `max`; -1 when it
// is not one, -2 when it has a leading zero.
long Decimal(std::string_view text, long max)
{
    if (!AllDigits(text))
        return -1;
    if (text.size() > 1 && text[0] == '0')
        return -2;
    // Stops once past `max`: ten digits would overflow a 32-bit long (Windows).
    long value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
        if (value > max)
            return -1;
    }
    return value;
}

struct Address
{
    std::uint32_t value = 0;
    std::string error;  // empty when it parsed
};

Address ParseAddress(std::string_view text)
{
    Address address;
    std::string_view rest = text;
    for (int i = 0; i < 4; ++i) {
        const auto dot = rest.find('.');
        const std::string_view octet = i < 3 ? rest.substr(0, dot) : rest;
        if ((i < 3 && dot == std::string_view::npos) || (i == 3 && octet.find('.') != std::string_view::npos)) {
            address.error = "not";
            return address;
        }
        const long value = Decimal(octet, 255);
        if (value == -2) {
            address.error = std::string(octet) + " has a leading zero (octal or decimal?)";
            return address;
        }
        if (value < 0) {
            address.error = "not";
            return address;
        }
        address.value = (address.value << 8) | static_cast<std::uint32_t>(value);
        if (i < 3)
            rest.remove_prefix(dot + 1);
    }
    return address;
}

// 0.0.0.0/8 ("this network"), multicast and the reserved 240.0.0.0/4 (with
// the limited broadcast) can never be a server's address.
bool OverlapsNonUnicast(std::uint32_t first, std::uint32_t last, std::uint32_t& which)
{
    if (first <= 0x00FFFFFFu) {
        which = first;
        return true;
    }
    if (last >= 0xE0000000u) {
        which = std::max(first, 0xE0000000u);
        return true;
    }
    return false;
}

}  // namespace

ProbeTargetParse ParseProbeTarget(std::string_view written)
{
    const std::string junk = " is not an IPv4 address, a block such as 10.20.0.0/24 or a range such as "
                             "10.20.0.5-10.20.0.40";
    if (written.empty())
        return {std::nullopt, Quoted(written) + junk};
    if (std::any_of(written.begin(), written.end(), [](unsigned char c) { return std::isspace(c) != 0; }))
        return Refuse(written, "blanks are not allowed inside a target");

    ProbeTarget target;
    target.written = std::string(written);
    const auto slash = written.find('/');
    const auto dash = written.find('-');
    const auto parse = [&](std::string_view text, std::uint32_t& out) -> std::optional<ProbeTargetParse> {
        const Address a = ParseAddress(text);
        if (a.error == "not")
            return ProbeTargetParse{std::nullopt, Quoted(written) + junk};
        if (!a.error.empty())
            return Refuse(written, a.error);
        out = a.value;
        return std::nullopt;
    };

    if (slash != std::string_view::npos && dash == std::string_view::npos) {
        std::uint32_t base = 0;
        if (auto refused = parse(written.substr(0, slash), base))
            return *refused;
        const long prefix = Decimal(written.substr(slash + 1), 32);
        if (prefix < 0)
            return Refuse(written, "the prefix after / must be a number from 16 to 32");
        if (prefix < 16)
            return Refuse(written, "a block may be at most a /16 (65536 addresses)");
        const std::uint32_t mask = prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
        target.first = base & mask;
        target.last = target.first | ~mask;
        if (prefix <= 30) {  // not the network and broadcast addresses
            ++target.first;
            --target.last;
        }
    } else if (dash != std::string_view::npos && slash == std::string_view::npos) {
        if (auto refused = parse(written.substr(0, dash), target.first))
            return *refused;
        if (auto refused = parse(written.substr(dash + 1), target.last))
            return *refused;
        if (target.last < target.first)
            return Refuse(written, "the range runs backwards");
        if (target.Size() > ProbeTarget::kMaxAddresses)
            return Refuse(written, "a range may hold at most 65536 addresses (a /16)");
    } else if (slash == std::string_view::npos) {
        if (auto refused = parse(written, target.first))
            return *refused;
        target.last = target.first;
    } else {
        return {std::nullopt, Quoted(written) + junk};
    }

    std::uint32_t which = 0;
    if (OverlapsNonUnicast(target.first, target.last, which))
        return Refuse(written, Dotted(which) + " is not a unicast address");
    return {target, {}};
}
