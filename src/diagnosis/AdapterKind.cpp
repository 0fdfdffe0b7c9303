#include "diagnosis/AdapterKind.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

// ARPHRD_* values of /sys/class/net/<if>/type (linux/if_arp.h).
constexpr int kEther = 1;
constexpr int kPpp = 512;
constexpr int kTunnel = 768;  // IP in IP
constexpr int kTunnel6 = 769;
constexpr int kSit = 776;
constexpr int kIpGre = 778;
constexpr int kLoopback = 772;
constexpr int kIp6Gre = 823;
constexpr int kNone = 65534;  // tun and WireGuard: no link layer at all
constexpr unsigned kIffLoopback = 0x8;
constexpr unsigned kIffTun = 0x0001;  // in tun_flags; IFF_TAP is 0x0002

// Name prefixes of the networks that container and VM managers make.
constexpr std::array<std::string_view, 16> kVirtualPrefixes = {
    "docker", "br-",     "veth", "virbr",  "vnet",    "lxcbr", "lxdbr", "incusbr",
    "cni",    "flannel", "cali", "podman", "vboxnet", "vmnet", "kube-", "weave",
};

bool Exists(const std::string& path)
{
    struct stat st
    {};
    return lstat(path.c_str(), &st) == 0;
}

std::string ReadSmall(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A number as sysfs writes it: decimal, or hex with 0x.
long ReadNumber(const std::string& path, long fallback)
{
    const std::string text = ReadSmall(path);
    std::string_view digits = text;
    int base = 10;
    if (digits.starts_with("0x")) {
        digits.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        return fallback;
    return value;
}

std::string DevType(const std::string& dir)
{
    std::istringstream uevent(ReadSmall(dir + "/uevent"));
    for (std::string line; std::getline(uevent, line);)
        if (line.starts_with("DEVTYPE="))
            return line.substr(8);
    return {};
}

bool HasVirtualName(std::string_view name)
{
    return std::any_of(kVirtualPrefixes.begin(), kVirtualPrefixes.end(),
                       [&](std::string_view prefix) { return name.starts_with(prefix); });
}

bool AllLinkLocal(const std::vector<std::string>& addresses)
{
    if (addresses.empty())
        return false;
    return std::all_of(addresses.begin(), addresses.end(), [](const std::string& text) {
        in_addr addr{};
        return inet_pton(AF_INET, text.c_str(), &addr) == 1 && (ntohl(addr.s_addr) >> 16) == 0xA9FE;
    });
}

std::vector<std::string> Entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The interface a VLAN sits on: its lower_<name> entry.
std::string LowerDevice(const std::string& dir)
{
    for (const std::string& entry : Entries(dir))
        if (entry.starts_with("lower_"))
            return entry.substr(6);
    return {};
}

AdapterKind ClassifyHardware(std::string_view name, const std::string& root, int depth);

AdapterKind ClassifyBridge(const std::string& dir, const std::string& root, int depth)
{
    // A bridge is the LAN when a real port is in it (br0 over eth0 on a
    // hypervisor host); one of only veth and tap ports is a private network.
    for (const std::string& port : Entries(dir + "/brif")) {
        if (depth >= 4)
            break;
        const AdapterKind kind = ClassifyHardware(port, root, depth + 1);
        if (kind == AdapterKind::kEthernet || kind == AdapterKind::kWireless)
            return AdapterKind::kBridge;
    }
    return AdapterKind::kVirtual;
}

AdapterKind ClassifyHardware(std::string_view name, const std::string& root, int depth)
{
    const std::string dir = root + "/" + std::string(name);
    if (!Exists(dir))
        return AdapterKind::kUnknown;
    const long type = ReadNumber(dir + "/type", -1);
    const long flags = ReadNumber(dir + "/flags", 0);
    if (type == kLoopback || (flags & kIffLoopback))
        return AdapterKind::kLoopback;
    const std::string devType = DevType(dir);
    if (devType == "wlan" || Exists(dir + "/wireless") || Exists(dir + "/phy80211"))
        return AdapterKind::kWireless;
    if (Exists(dir + "/tun_flags")) {
        const long tunFlags = ReadNumber(dir + "/tun_flags", 0);
        if ((tunFlags & kIffTun) || !name.starts_with("vnet"))
            return AdapterKind::kTunnel;  // a tap with an address is a bridged VPN (OpenVPN, ZeroTier)
        return AdapterKind::kVirtual;     // a VM's tap
    }
    if (devType == "wireguard" || devType == "ppp" ||
        (type != kEther && (type == kPpp || type == kTunnel || type == kTunnel6 || type == kSit || type == kIpGre ||
                            type == kIp6Gre || type == kNone)))
        return AdapterKind::kTunnel;
    if (HasVirtualName(name))
        return AdapterKind::kVirtual;
    if (devType == "bridge" || Exists(dir + "/bridge"))
        return ClassifyBridge(dir, root, depth);
    if (devType == "vlan") {
        const std::string lower = LowerDevice(dir);
        if (!lower.empty() && depth < 4)
            return ClassifyHardware(lower, root, depth + 1);
        return AdapterKind::kEthernet;
    }
    if (devType == "bond" || devType == "team")
        return AdapterKind::kEthernet;
    if (type == kEther)
        return Exists(dir + "/device") ? AdapterKind::kEthernet : AdapterKind::kVirtual;
    return AdapterKind::kUnknown;
}

}  // namespace

AdapterKind ClassifyAdapter(std::string_view name, const std::vector<std::string>& addresses,
                            const std::string& sysfsRoot)
{
    // Names with a slash would leave the tree.
    if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
        return AdapterKind::kUnknown;
    const AdapterKind hardware = ClassifyHardware(name, sysfsRoot, 0);
    if (hardware != AdapterKind::kLoopback && AllLinkLocal(addresses))
        return AdapterKind::kLinkLocalOnly;
    return hardware;
}
