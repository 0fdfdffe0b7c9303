#include "net/LocalInterface.h"

#include "base/LocaleText.h"
#include "net/SocketApi.h"

#include <algorithm>
#include <iphlpapi.h>
#include <vector>
#include <windows.h>

// The adapters from GetAdaptersAddresses. An interface's name is its
// friendly name ("Ethernet", "Wi-Fi"; under Wine the Linux name, "eth0"),
// in UTF-8; its index is the IPv4 interface index, the one IP_PKTINFO
// reports for arrivals.

namespace {

constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
constexpr int kAttempts = 4;  // the list may grow between the size query and the read

std::string Utf8Name(const wchar_t* name)
{
    if (!name)
        return {};
    const std::u16string text(name, name + wcslen(name));
    return ToUtf8(text);
}

std::uint32_t Netmask(unsigned prefixLength)
{
    const std::uint32_t host = prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - std::min(prefixLength, 32u));
    return htonl(host);
}

// An address the stack may send from: not still being checked for
// duplicates, not found to be a duplicate.
bool IsUsable(const IP_ADAPTER_UNICAST_ADDRESS& address)
{
    return address.DadState == IpDadStatePreferred || address.DadState == IpDadStateDeprecated;
}

}  // namespace

std::vector<LocalInterface> ListLocalInterfaces(const std::vector<std::string>& only)
{
    std::vector<LocalInterface> result;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < kAttempts && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = GetAdaptersAddresses(AF_INET, kFlags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()),
                                      &size);
    }
    if (status != NO_ERROR)
        return result;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        const std::string name = Utf8Name(a->FriendlyName);
        if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end())
            continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
            const SOCKADDR* sa = u->Address.lpSockaddr;
            if (!sa || sa->sa_family != AF_INET || !IsUsable(*u))
                continue;
            LocalInterface local;
            local.name = name;
            local.addr = reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr;
            local.netmask = Netmask(u->OnLinkPrefixLength);
            local.index = a->IfIndex;
            char text[INET_ADDRSTRLEN] = {};
            in_addr address{};
            address.s_addr = local.addr;
            if (!inet_ntop(AF_INET, &address, text, sizeof text))
                continue;
            local.address = text;
            result.push_back(std::move(local));
        }
    }
    return result;
}
