#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct AdapterStatus;

// What kind of network adapter an interface is, so that a diagnosis can tell
// a real LAN port from a Docker bridge, a VPN tunnel or an adapter that never
// got an address. Callers: the front ends that build a diagnosis
// (discovery/Diagnosis.h), for the adapters in the engine's status.
enum class AdapterKind {
    kEthernet,       // a wired port (a VLAN or bond on one included)
    kWireless,       // Wi-Fi
    kBridge,         // a bridge with a physical port in it (a LAN through a bridge)
    kTunnel,         // VPN or tunnel: tun, WireGuard, PPP, GRE, IP-in-IP...
    kVirtual,        // Docker, VM and container networks, veth, dummy devices
    kLinkLocalOnly,  // its only IPv4 addresses are 169.254/16: no DHCP answer
    kLoopback,
    kUnknown,  // nothing known about it (no such interface under the root)
};

// Stable lower-case name for JSON and logs: "ethernet", "wireless", "bridge",
// "tunnel", "virtual", "link-local", "loopback", "unknown".
std::string_view AdapterKindName(AdapterKind kind);

// Classifies interface `name` from what the kernel says of it under
// `sysfsRoot` (the /sys/class/net of the calling thread's network namespace;
// tests pass a fake tree): type, flags, the device link (absent on virtual
// devices), wireless/phy80211, bridge/brif, tun_flags, DEVTYPE= in uevent,
// and well-known names (docker0, virbr0, veth...). `addresses` are its IPv4
// addresses in dotted text: when every one is 169.254.x.x the adapter is
// kLinkLocalOnly whatever its hardware. Reads a few small files; never throws.
AdapterKind ClassifyAdapter(std::string_view name, const std::vector<std::string>& addresses,
                            const std::string& sysfsRoot = "/sys/class/net");

// Every adapter of an engine status, by interface name, its addresses taken
// together.
std::map<std::string, AdapterKind> ClassifyAdapters(const std::vector<AdapterStatus>& adapters,
                                                    const std::string& sysfsRoot = "/sys/class/net");
