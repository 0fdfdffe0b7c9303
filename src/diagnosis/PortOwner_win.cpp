#include "diagnosis/PortOwner.h"

#include "base/LocaleText.h"
#include "net/SocketApi.h"

#include <algorithm>
#include <iphlpapi.h>
#include <vector>
#include <windows.h>

// The system's UDP tables name each socket's process (GetExtendedUdpTable,
// UDP_TABLE_OWNER_PID), for IPv4 and IPv6: a dual-stack socket on [::]
// holds the IPv4 port too. A process of another user, or a service, may
// not let us read its name: it is then "a program (pid N)". Whose a
// socket is cannot be learnt this way, so otherUser stays false.

namespace {

template <typename Table>
std::vector<unsigned char> ReadTable(ULONG family)
{
    std::vector<unsigned char> buffer;
    DWORD size = 16 * 1024;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 4 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.resize(size);
        status = GetExtendedUdpTable(buffer.data(), &size, FALSE, family, UDP_TABLE_OWNER_PID, 0);
    }
    if (status != NO_ERROR || buffer.size() < sizeof(Table))
        buffer.clear();
    return buffer;
}

std::string ProcessName(DWORD pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    wchar_t path[MAX_PATH * 4];
    DWORD length = static_cast<DWORD>(std::size(path));
    std::u16string name;
    if (QueryFullProcessImageNameW(process, 0, path, &length)) {
        std::u16string full(path, path + length);
        const auto slash = full.find_last_of(u"\\/");
        name = slash == std::u16string::npos ? full : full.substr(slash + 1);
    }
    CloseHandle(process);
    return ToUtf8(name);
}

void AddHolder(PortOwnership& owner, DWORD pid)
{
    // Pid 0 is the idle process: the table's "not known" (Wine says it for
    // sockets of programs outside it). Naming it would be a wrong answer.
    if (pid == 0)
        return;
    const int id = static_cast<int>(pid);
    const auto same = [&](const PortHolder& h) { return h.pid == id; };
    if (std::none_of(owner.holders.begin(), owner.holders.end(), same))
        owner.holders.push_back({id, ProcessName(pid)});
}

std::string AddressText(int family, const void* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    return inet_ntop(family, address, text, sizeof text) ? std::string(text) : std::string();
}

}  // namespace

PortOwnership FindPortOwner(std::uint16_t port, const std::string&)
{
    PortOwnership owner;
    const std::vector<unsigned char> v4 = ReadTable<MIB_UDPTABLE_OWNER_PID>(AF_INET);
    if (!v4.empty()) {
        const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(v4.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_UDPROW_OWNER_PID& row = table->table[i];
            if (ntohs(static_cast<std::uint16_t>(row.dwLocalPort)) != port)
                continue;
            in_addr address{};
            address.s_addr = row.dwLocalAddr;
            owner.sockets.push_back({AddressText(AF_INET, &address), port, 0, 0});
            AddHolder(owner, row.dwOwningPid);
        }
    }
    const std::vector<unsigned char> v6 = ReadTable<MIB_UDP6TABLE_OWNER_PID>(AF_INET6);
    if (!v6.empty()) {
        const auto* table = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID*>(v6.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_UDP6ROW_OWNER_PID& row = table->table[i];
            if (ntohs(static_cast<std::uint16_t>(row.dwLocalPort)) != port)
                continue;
            owner.sockets.push_back({AddressText(AF_INET6, row.ucLocalAddr), port, 0, 0});
            AddHolder(owner, row.dwOwningPid);
        }
    }
    std::sort(owner.holders.begin(), owner.holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return owner;
}
