#include "diagnosis/AdapterKind.h"

#include "base/LocaleText.h"
#include "net/SocketApi.h"

#include <algorithm>
#include <array>
#include <iphlpapi.h>
#include <vector>
#include <windows.h>

// What the adapter list says of an adapter, found by its friendly name (the
// name the engine reports): its interface type, and for Ethernet-typed
// ones the words by which the usual virtual adapters describe themselves
// (a Hyper-V switch, VirtualBox, VMware and VPN adapters are "Ethernet" to
// the system). The sysfs root has no meaning here.

namespace {

constexpr std::array<std::u16string_view, 6> kVirtualWords = {
    u"Hyper-V", u"VirtualBox", u"VMware", u"Virtual Ethernet", u"Virtual Adapter", u"vEthernet",
};
constexpr std::array<std::u16string_view, 5> kTunnelWords = {
    u"TAP-Windows", u"WireGuard", u"VPN", u"Tunnel", u"Wintun",
};

bool AllLinkLocal(const std::vector<std::string>& addresses)
{
    if (addresses.empty())
        return false;
    return std::all_of(addresses.begin(), addresses.end(), [](const std::string& text) {
        in_addr addr{};
        return inet_pton(AF_INET, text.c_str(), &addr) == 1 && (ntohl(addr.s_addr) >> 16) == 0xA9FE;
    });
}

std::u16string Text(const wchar_t* text)
{
    return text ? std::u16string(text, text + wcslen(text)) : std::u16string();
}

bool Mentions(const std::u16string& text, auto words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](std::u16string_view word) { return text.find(word) != std::u16string::npos; });
}

AdapterKind KindOf(const IP_ADAPTER_ADDRESSES& a)
{
    const std::u16string described = Text(a.Description) + u" " + Text(a.FriendlyName);
    switch (a.IfType) {
    case IF_TYPE_SOFTWARE_LOOPBACK: return AdapterKind::kLoopback;
    case IF_TYPE_IEEE80211: return AdapterKind::kWireless;
    case IF_TYPE_PPP:
    case IF_TYPE_TUNNEL: return AdapterKind::kTunnel;
    case IF_TYPE_PROP_VIRTUAL: return Mentions(described, kTunnelWords) ? AdapterKind::kTunnel : AdapterKind::kVirtual;
    case IF_TYPE_ETHERNET_CSMACD:
        if (Mentions(described, kTunnelWords))
            return AdapterKind::kTunnel;
        return Mentions(described, kVirtualWords) ? AdapterKind::kVirtual : AdapterKind::kEthernet;
    default: return AdapterKind::kUnknown;
    }
}

}  // namespace

AdapterKind ClassifyAdapter(std::string_view name, const std::vector<std::string>& addresses, const std::string&)
{
    if (name.empty())
        return AdapterKind::kUnknown;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = GetAdaptersAddresses(AF_UNSPEC,
                                      GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                                          GAA_FLAG_SKIP_UNICAST,
                                      nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (status != NO_ERROR)
        return AdapterKind::kUnknown;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (ToUtf8(Text(a->FriendlyName)) != name)
            continue;
        const AdapterKind kind = KindOf(*a);
        if (kind != AdapterKind::kLoopback && kind != AdapterKind::kUnknown && AllLinkLocal(addresses))
            return AdapterKind::kLinkLocalOnly;
        return kind;
    }
    return AdapterKind::kUnknown;
}
