#include "diagnosis/PortOwner.h"

#include "net/ProcFields.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace {

template <typename T>
bool ParseInteger(std::string_view text, T& value, int base = 10)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// The kernel prints each 32-bit word of the address as it lies in memory,
// read as a host-order number: copying the number back restores the bytes.
std::optional<std::string> AddressText(std::string_view hex)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (hex.size() == 8) {
        std::uint32_t word = 0;
        if (!ParseInteger(hex, word, 16))
            return std::nullopt;
        in_addr addr{};
        addr.s_addr = word;
        if (!inet_ntop(AF_INET, &addr, text, sizeof text))
            return std::nullopt;
        return std::string(text);
    }
    if (hex.size() == 32) {
        in6_addr addr{};
        for (int i = 0; i < 4; ++i) {
            std::uint32_t word = 0;
            if (!ParseInteger(hex.substr(static_cast<std::size_t>(i) * 8, 8), word, 16))
                return std::nullopt;
            addr.s6_addr32[i] = word;
        }
        if (!inet_ntop(AF_INET6, &addr, text, sizeof text))
            return std::nullopt;
        return std::string(text);
    }
    return std::nullopt;
}

std::string ReadSmallFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string UserName(unsigned uid)
{
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return "uid " + std::to_string(uid);
}

bool IsPid(const char* name)
{
    int pid = 0;
    return ParseInteger(std::string_view(name), pid) && pid > 0;
}

// Whether any descriptor of process `pid` is one of `inodes`. A process we
// may not look into (another user's, without root) simply holds nothing.
bool HoldsAny(const std::string& procRoot, const char* pid, const std::vector<std::uint64_t>& inodes)
{
    const std::string fdDir = procRoot + "/" + pid + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (!dir)
        return false;
    bool holds = false;
    while (const dirent* fd = readdir(dir)) {
        if (fd->d_name[0] == '.')
            continue;
        char link[PATH_MAX];
        const std::string path = fdDir + "/" + fd->d_name;
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n <= 0)
            continue;
        const auto inode = ParseSocketLink(std::string_view(link, static_cast<std::size_t>(n)));
        if (inode && std::find(inodes.begin(), inodes.end(), *inode) != inodes.end()) {
            holds = true;
            break;
        }
    }
    closedir(dir);
    return holds;
}

}  // namespace

std::vector<UdpSocketEntry> ParseProcNetUdp(std::string_view text, std::uint16_t port)
{
    std::vector<UdpSocketEntry> entries;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        const std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...
        const std::vector<std::string_view> words = ProcFields(line);
        if (words.size() < 10 || words[0].empty() || words[0].back() != ':')
            continue;
        const std::string_view local = words[1];
        const auto colon = local.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::uint16_t localPort = 0;
        UdpSocketEntry entry;
        const auto address = AddressText(local.substr(0, colon));
        if (!address || !ParseInteger(local.substr(colon + 1), localPort, 16) || localPort != port ||
            !ParseInteger(words[7], entry.uid) || !ParseInteger(words[9], entry.inode))
            continue;
        entry.localAddress = *address;
        entry.port = localPort;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::uint64_t> ParseSocketLink(std::string_view link)
{
    constexpr std::string_view kPrefix = "socket:[";
    if (link.size() <= kPrefix.size() + 1 || link.substr(0, kPrefix.size()) != kPrefix || link.back() != ']')
        return std::nullopt;
    std::uint64_t inode = 0;
    if (!ParseInteger(link.substr(kPrefix.size(), link.size() - kPrefix.size() - 1), inode))
        return std::nullopt;
    return inode;
}

PortOwnership FindPortOwner(std::uint16_t port, const std::string& procRoot)
{
    PortOwnership owner;
    for (const char* table : {"/net/udp", "/net/udp6"})
        for (UdpSocketEntry& entry : ParseProcNetUdp(ReadSmallFile(procRoot + table), port))
            owner.sockets.push_back(std::move(entry));
    if (owner.sockets.empty())
        return owner;

    std::vector<std::uint64_t> inodes;
    for (const UdpSocketEntry& entry : owner.sockets)
        if (entry.inode != 0)
            inodes.push_back(entry.inode);
    if (DIR* dir = opendir(procRoot.c_str())) {
        while (const dirent* process = readdir(dir)) {
            if (!IsPid(process->d_name) || !HoldsAny(procRoot, process->d_name, inodes))
                continue;
            std::string name = ReadSmallFile(procRoot + "/" + process->d_name + "/comm");
            while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
                name.pop_back();
            owner.holders.push_back({std::stoi(process->d_name), std::move(name)});
        }
        closedir(dir);
    }
    std::sort(owner.holders.begin(), owner.holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });

    if (owner.holders.empty()) {
        const unsigned self = static_cast<unsigned>(geteuid());
        for (const UdpSocketEntry& entry : owner.sockets) {
            if (entry.uid != self) {
                owner.otherUser = true;
                owner.otherUserName = UserName(entry.uid);
                break;
            }
        }
    }
    return owner;
}
