#include "diagnosis/AdapterKind.h"

#include "discovery/EngineStatus.h"

// The names of the kinds and the classification of an engine status's
// adapters, the same on every system; what one adapter is, is the system's
// part (AdapterKind.cpp: /sys; AdapterKind_win.cpp: the adapter's type).

std::string_view AdapterKindName(AdapterKind kind)
{
    switch (kind) {
    case AdapterKind::kEthernet: return "ethernet";
    case AdapterKind::kWireless: return "wireless";
    case AdapterKind::kBridge: return "bridge";
    case AdapterKind::kTunnel: return "tunnel";
    case AdapterKind::kVirtual: return "virtual";
    case AdapterKind::kLinkLocalOnly: return "link-local";
    case AdapterKind::kLoopback: return "loopback";
    case AdapterKind::kUnknown: break;
    }
    return "unknown";
}

std::map<std::string, AdapterKind> ClassifyAdapters(const std::vector<AdapterStatus>& adapters,
                                                    const std::string& sysfsRoot)
{
    std::map<std::string, std::vector<std::string>> addresses;
    for (const AdapterStatus& adapter : adapters)
        addresses[adapter.name].push_back(adapter.address);
    std::map<std::string, AdapterKind> kinds;
    for (const auto& [name, list] : addresses)
        kinds[name] = ClassifyAdapter(name, list, sysfsRoot);
    return kinds;
}
