#pragma once

// Windows only: which rows of the system's neighbour table (GetIpNetTable2)
// KernelNeighbours keeps. Exposed for tests.

#include "net/MacAddress.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
// clang-format on

// Complete IPv4 entries, keyed by address in network byte order: a state
// that holds a hardware address (probe, delay, stale, reachable, permanent),
// six bytes, not all zero, not a group (multicast or broadcast) address.
std::unordered_map<std::uint32_t, MacAddress> CompleteIpv4Entries(const MIB_IPNET_ROW2* rows, std::size_t count);
