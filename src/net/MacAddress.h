#pragma once

#include <array>
#include <cstdint>

// Six bytes of an Ethernet hardware address, first byte first.
using MacAddress = std::array<std::uint8_t, 6>;
