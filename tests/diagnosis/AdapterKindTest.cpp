#include "diagnosis/AdapterKind.h"

#include "TempTree.h"
#include "discovery/EngineStatus.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// One interface of a fake /sys/class/net: the files and links the kernel
// would show for that kind of device.
struct FakeInterface
{
    const char* name;
    std::map<std::string, std::string> files;  // relative path → content
    std::map<std::string, std::string> links;  // relative path → target
};

const FakeInterface kInterfaces[] = {
    {"eth0", {{"type", "1\n"}, {"flags", "0x1003\n"}}, {{"device", "../../../0000:00:1f.6"}}},
    {"wlan0",
     {{"type", "1\n"}, {"flags", "0x1003\n"}},
     {{"device", "../../../0000:02:00.0"}, {"phy80211", "../../ieee80211/phy0"}}},
    {"wlp3s0", {{"type", "1\n"}, {"uevent", "DEVTYPE=wlan\nINTERFACE=wlp3s0\nIFINDEX=3\n"}}, {{"device", "../../x"}}},
    {"docker0", {{"type", "1\n"}, {"uevent", "DEVTYPE=bridge\nINTERFACE=docker0\n"}, {"bridge/stp_state", "0\n"}}, {}},
    {"br0",
     {{"type", "1\n"}, {"uevent", "DEVTYPE=bridge\n"}, {"bridge/stp_state", "0\n"}},
     {{"brif/eth1", "../../eth1/brport"}}},
    {"eth1", {{"type", "1\n"}}, {{"device", "../../../0000:00:1f.7"}}},
    {"br1", {{"type", "1\n"}, {"uevent", "DEVTYPE=bridge\n"}}, {{"brif/veth9", "../../veth9/brport"}}},
    {"veth9", {{"type", "1\n"}}, {}},
    {"tun0", {{"type", "65534\n"}, {"tun_flags", "0x1001\n"}}, {}},
    {"tap0", {{"type", "1\n"}, {"tun_flags", "0x1002\n"}}, {}},
    {"vnet3", {{"type", "1\n"}, {"tun_flags", "0x1002\n"}}, {}},
    {"wg0", {{"type", "65534\n"}, {"uevent", "DEVTYPE=wireguard\n"}}, {}},
    {"ppp0", {{"type", "512\n"}}, {}},
    {"gre1", {{"type", "778\n"}}, {}},
    {"vh1", {{"type", "1\n"}}, {}},
    {"eth0.10", {{"type", "1\n"}, {"uevent", "DEVTYPE=vlan\n"}}, {{"lower_eth0", "../eth0"}}},
    {"wlan0.5", {{"type", "1\n"}, {"uevent", "DEVTYPE=vlan\n"}}, {{"lower_wlan0", "../wlan0"}}},
    {"bond0", {{"type", "1\n"}, {"uevent", "DEVTYPE=bond\n"}}, {}},
    {"lo", {{"type", "772\n"}, {"flags", "0x9\n"}}, {}},
    {"ib0", {{"type", "32\n"}}, {{"device", "../../x"}}},
    {"odd", {{"type", "not a number\n"}}, {}},
};

struct KindCase
{
    const char* why;
    const char* name;
    std::vector<std::string> addresses;
    AdapterKind kind;
};

const KindCase kCases[] = {
    {"a port with a device is wired", "eth0", {"192.168.1.5"}, AdapterKind::kEthernet},
    {"phy80211 is Wi-Fi", "wlan0", {"192.168.1.6"}, AdapterKind::kWireless},
    {"DEVTYPE=wlan is Wi-Fi", "wlp3s0", {}, AdapterKind::kWireless},
    {"Docker's bridge is a private network", "docker0", {"172.17.0.1"}, AdapterKind::kVirtual},
    {"a bridge over a real port is the LAN", "br0", {"192.168.1.7"}, AdapterKind::kBridge},
    {"a bridge of veth ports is virtual", "br1", {"10.0.3.1"}, AdapterKind::kVirtual},
    {"a tun device is a tunnel", "tun0", {"10.8.0.2"}, AdapterKind::kTunnel},
    {"a tap with an address is a bridged VPN", "tap0", {"10.9.0.2"}, AdapterKind::kTunnel},
    {"a VM's tap is virtual", "vnet3", {}, AdapterKind::kVirtual},
    {"WireGuard is a tunnel", "wg0", {"10.7.0.2"}, AdapterKind::kTunnel},
    {"PPP is a tunnel", "ppp0", {"10.64.0.1"}, AdapterKind::kTunnel},
    {"GRE is a tunnel", "gre1", {}, AdapterKind::kTunnel},
    {"an ethernet device without hardware is virtual", "vh1", {"10.21.0.1"}, AdapterKind::kVirtual},
    {"a VLAN is what it sits on: wired", "eth0.10", {"10.10.0.5"}, AdapterKind::kEthernet},
    {"a VLAN is what it sits on: Wi-Fi", "wlan0.5", {}, AdapterKind::kWireless},
    {"a bond is wired", "bond0", {}, AdapterKind::kEthernet},
    {"loopback", "lo", {"127.0.0.1"}, AdapterKind::kLoopback},
    {"only 169.254 addresses: DHCP never answered", "eth0", {"169.254.12.7"}, AdapterKind::kLinkLocalOnly},
    {"a real address beside a link-local one counts", "eth0", {"169.254.12.7", "192.168.1.5"}, AdapterKind::kEthernet},
    {"link-local on Wi-Fi too", "wlan0", {"169.254.0.1"}, AdapterKind::kLinkLocalOnly},
    {"link-local with no sysfs entry", "gone0", {"169.254.0.1"}, AdapterKind::kLinkLocalOnly},
    {"no such interface", "gone0", {"192.168.1.9"}, AdapterKind::kUnknown},
    {"a name that leaves the tree", "../eth0", {}, AdapterKind::kUnknown},
    {"an empty name", "", {}, AdapterKind::kUnknown},
    {"InfiniBand is not guessed", "ib0", {}, AdapterKind::kUnknown},
    {"an unreadable type is not guessed", "odd", {}, AdapterKind::kUnknown},
};

class AdapterKindTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_tree = new TempTree;
        for (const FakeInterface& i : kInterfaces) {
            s_tree->MakeFolder(i.name);
            for (const auto& [path, text] : i.files)
                s_tree->Write(std::string(i.name) + "/" + path, text);
            for (const auto& [path, target] : i.links)
                s_tree->Link(std::string(i.name) + "/" + path, target);
        }
    }
    static void TearDownTestSuite()
    {
        delete s_tree;
        s_tree = nullptr;
    }
    static TempTree* s_tree;
};

TempTree* AdapterKindTest::s_tree = nullptr;

TEST_F(AdapterKindTest, ClassifiesFromSysfsAndAddresses)
{
    for (const KindCase& c : kCases)
        EXPECT_EQ(AdapterKindName(ClassifyAdapter(c.name, c.addresses, s_tree->Root())), AdapterKindName(c.kind))
            << c.why << " (" << c.name << ")";
}

TEST_F(AdapterKindTest, AnEngineStatusIsClassifiedPerInterfaceWithAllItsAddresses)
{
    std::vector<AdapterStatus> adapters(3);
    adapters[0].name = "eth0";
    adapters[0].address = "169.254.1.1";
    adapters[1].name = "eth0";
    adapters[1].address = "192.168.1.5";
    adapters[2].name = "docker0";
    adapters[2].address = "172.17.0.1";
    const auto kinds = ClassifyAdapters(adapters, s_tree->Root());
    EXPECT_EQ(kinds, (std::map<std::string, AdapterKind>{{"docker0", AdapterKind::kVirtual},
                                                         {"eth0", AdapterKind::kEthernet}}));
}

}  // namespace
