#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Addresses to probe by unicast, beside the broadcasts: for servers that a
// broadcast cannot reach (another subnet, behind a router). One target is a
// single IPv4 address, a block or a range of consecutive addresses.
struct ProbeTarget
{
    static constexpr std::uint64_t kMaxAddresses = 65536;  // a /16

    std::string written;      // as the person wrote it: "10.20.0.0/24"
    std::uint32_t first = 0;  // the addresses probed, host byte order, inclusive
    std::uint32_t last = 0;

    std::uint64_t Size() const { return std::uint64_t{last} - first + 1; }
    bool Contains(std::uint32_t address) const { return first <= address && address <= last; }
    bool operator==(const ProbeTarget&) const = default;
};

// A target, or one line that names the target as written and says what is wrong with it.
struct ProbeTargetParse
{
    std::optional<ProbeTarget> target;
    std::string error;
};

// Parses one target as written:
//   "10.20.0.7"              one address
//   "10.20.0.0/24"           a block, prefix 16 to 32; host bits may be set
//                            ("10.20.0.9/24" is the same block). Up to /30
//                            its network and broadcast addresses are left out.
//   "10.20.0.5-10.20.0.40"   a range, both ends included, at most 65536
// Octets are decimal, 0 to 255, without leading zeros (which some tools read
// as octal: "010" is refused rather than guessed). Nothing else is allowed,
// blanks included: callers split lists and trim. Every address must be
// unicast (not 0.0.0.0/8, multicast or 240.0.0.0/4). Never throws.
ProbeTargetParse ParseProbeTarget(std::string_view written);
