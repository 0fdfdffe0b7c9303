#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One IPv4 address of a local interface that is up and not loopback.
struct LocalInterface
{
    std::string name;           // e.g. "eth0"
    std::string address;        // dotted text, e.g. "192.168.1.5"
    std::uint32_t addr = 0;     // network byte order
    std::uint32_t netmask = 0;  // network byte order
    unsigned index = 0;         // kernel interface index
};

// Every IPv4 address of every interface that is up and not loopback, in the
// system's order (getifaddrs). With `only` non-empty, just the interfaces so
// named. Empty when there are none or the system cannot tell.
std::vector<LocalInterface> ListLocalInterfaces(const std::vector<std::string>& only = {});
