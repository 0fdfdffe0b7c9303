#include "diagnosis/firewall/FirewallRules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {

// Fixtures under tests/diagnosis/firewall/data: the nft and iptables-save texts were
// printed by nft 1.0.6 and iptables 1.8.9 from rule sets loaded in a
// private network namespace; the ufw and firewall-cmd texts follow those
// tools' print formats.
std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(VINDREL_SOURCE_DIR) + "/tests/diagnosis/firewall/data/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << "missing fixture " << name;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* Name(PortVerdict v)
{
    return v == PortVerdict::kAccepted ? "accepted" : v == PortVerdict::kDropped ? "dropped" : "unknown";
}

enum class Tool { kNft, kIptables, kUfw, kFirewalld };

struct RulesCase
{
    const char* why;
    Tool tool;
    const char* fixture;
    const char* interface;
    PortVerdict verdict;
    std::vector<std::string> places;
};

const std::map<std::string, std::vector<std::string>> kServices = {
    {"ssh", {"22/tcp"}},
    {"mdns", {"5353/udp"}},
    {"dhcpv6-client", {"546/udp"}},
    {"samba-client", {"137/udp", "138/udp"}},
    {"vindrel", {"6000/udp"}},
};

const RulesCase kCases[] = {
    // nftables
    {"default deny with established,related accepted still drops the reply",
     Tool::kNft,
     "nft-default-deny.txt",
     "vh1",
     PortVerdict::kDropped,
     {"inet filter input"}},
    {"an accept for udp dport 6000 lets it in",
     Tool::kNft,
     "nft-default-deny-port-open.txt",
     "vh1",
     PortVerdict::kAccepted,
     {}},
    {"Debian's workstation example ends in counter drop",
     Tool::kNft,
     "nft-workstation.txt",
     "eth0",
     PortVerdict::kDropped,
     {"inet filter input"}},
    {"the same read from its configuration file",
     Tool::kNft,
     "nftables-conf-workstation.nft",
     "eth0",
     PortVerdict::kDropped,
     {"inet filter input"}},
    {"Debian's stock nftables.conf accepts everything",
     Tool::kNft,
     "nftables-conf-debian.nft",
     "eth0",
     PortVerdict::kAccepted,
     {}},
    {"firewalld's public zone rejects it at the base chain's end",
     Tool::kNft,
     "nft-firewalld-public.txt",
     "eth0",
     PortVerdict::kDropped,
     {"inet firewalld filter_INPUT"}},
    {"firewalld's trusted zone accepts it",
     Tool::kNft,
     "nft-firewalld-public.txt",
     "docker0",
     PortVerdict::kAccepted,
     {}},
    {"an unlisted interface falls to the default zone",
     Tool::kNft,
     "nft-firewalld-public.txt",
     "eth9",
     PortVerdict::kDropped,
     {"inet firewalld filter_INPUT"}},
    {"with the interface unknown, trusted and public disagree",
     Tool::kNft,
     "nft-firewalld-public.txt",
     "",
     PortVerdict::kUnknown,
     {"inet firewalld filter_INPUT"}},
    {"iptables-nft tables of ufw: the user chain has no rule for it",
     Tool::kNft,
     "nft-iptables-ufw-closed.txt",
     "eth0",
     PortVerdict::kDropped,
     {"ip filter INPUT"}},
    {"an accept limited to one source subnet depends on the server",
     Tool::kNft,
     "nft-iptables-source-limited.txt",
     "eth0",
     PortVerdict::kUnknown,
     {"ip filter INPUT"}},
    {"an empty ruleset lets everything in", Tool::kNft, "", "eth0", PortVerdict::kAccepted, {}},
    // iptables-save
    {"ufw's chains without a rule for it drop it",
     Tool::kIptables,
     "iptables-ufw-closed.txt",
     "eth0",
     PortVerdict::kDropped,
     {"INPUT"}},
    {"ufw's chains with ufw allow 6000/udp accept it",
     Tool::kIptables,
     "iptables-ufw-open.txt",
     "eth0",
     PortVerdict::kAccepted,
     {}},
    {"a source-limited accept before policy DROP depends on the server",
     Tool::kIptables,
     "iptables-source-limited.txt",
     "eth0",
     PortVerdict::kUnknown,
     {"INPUT"}},
    // ufw status verbose
    {"deny (incoming) with no rule for 6000 drops it",
     Tool::kUfw,
     "ufw-status-closed.txt",
     "eth0",
     PortVerdict::kDropped,
     {}},
    {"6000/udp ALLOW IN Anywhere accepts it", Tool::kUfw, "ufw-status-open.txt", "eth0", PortVerdict::kAccepted, {}},
    {"a rule on eth0 accepts it on eth0", Tool::kUfw, "ufw-status-interface.txt", "eth0", PortVerdict::kAccepted, {}},
    {"the next rule's range denies it elsewhere",
     Tool::kUfw,
     "ufw-status-interface.txt",
     "wlan0",
     PortVerdict::kDropped,
     {}},
    {"an inactive ufw decides nothing", Tool::kUfw, "ufw-status-inactive.txt", "eth0", PortVerdict::kUnknown, {}},
    // firewall-cmd --list-all-zones
    {"the default zone without the port rejects it",
     Tool::kFirewalld,
     "firewalld-zones.txt",
     "eth0",
     PortVerdict::kDropped,
     {"default zone public"}},
    {"an interface not in any zone gets the default zone",
     Tool::kFirewalld,
     "firewalld-zones.txt",
     "eth7",
     PortVerdict::kDropped,
     {"default zone public"}},
    {"a service that opens 6000/udp lets it in",
     Tool::kFirewalld,
     "firewalld-zones.txt",
     "wlan0",
     PortVerdict::kAccepted,
     {}},
    {"target ACCEPT lets it in", Tool::kFirewalld, "firewalld-zones.txt", "docker0", PortVerdict::kAccepted, {}},
    {"a rich rule for one source subnet depends on the server; an IPv6 one never applies",
     Tool::kFirewalld,
     "firewalld-zones.txt",
     "eth2",
     PortVerdict::kUnknown,
     {"zone internal"}},
    {"every zone in use, when the interface is unknown",
     Tool::kFirewalld,
     "firewalld-zones.txt",
     "",
     PortVerdict::kDropped,
     {"zone internal", "default zone public"}},
};

void PrintTo(const RulesCase& c, std::ostream* os)
{
    *os << c.why;
}

class RulesTest : public ::testing::TestWithParam<RulesCase>
{};

TEST_P(RulesTest, Verdict)
{
    const RulesCase& c = GetParam();
    const std::string text = *c.fixture ? Fixture(c.fixture) : std::string();
    ReplyPacket packet;
    packet.interface = c.interface;
    RulesVerdict v;
    switch (c.tool) {
    case Tool::kNft: v = EvaluateNftRuleset(text, packet); break;
    case Tool::kIptables: v = EvaluateIptablesSave(text, packet); break;
    case Tool::kUfw: v = EvaluateUfwStatus(text, packet); break;
    case Tool::kFirewalld:
        v = EvaluateFirewalldZones(text, "", packet, [](std::string_view service) {
            const auto it = kServices.find(std::string(service));
            return it == kServices.end() ? std::vector<std::string>() : it->second;
        });
        break;
    }
    EXPECT_STREQ(Name(v.verdict), Name(c.verdict)) << c.why;
    EXPECT_EQ(v.places, c.places) << c.why;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RulesTest, ::testing::ValuesIn(kCases));

// Small rule sets, one fact each, in nft's own syntax.
struct NftCase
{
    const char* why;
    const char* rules;  // the input chain's rules, after its header
    PortVerdict verdict;
};

const NftCase kNftCases[] = {
    {"a port set holding 6000", "udp dport { 53, 6000 } accept", PortVerdict::kAccepted},
    {"a port range holding 6000", "udp dport 5000-7000 accept", PortVerdict::kAccepted},
    {"th dport after meta l4proto", "meta l4proto { tcp, udp } th dport 6000 accept", PortVerdict::kAccepted},
    {"tcp dport 6000 is another protocol", "tcp dport 6000 accept", PortVerdict::kDropped},
    {"ct state new is this packet", "ct state new udp dport 6000 accept", PortVerdict::kAccepted},
    {"ct state vmap sends established elsewhere only",
     "ct state vmap { established : accept, related : accept, invalid : drop }", PortVerdict::kDropped},
    {"an accept from one source is undecided", "ip saddr 192.168.1.0/24 accept", PortVerdict::kUnknown},
    {"an accept to a multicast group never applies", "ip daddr 224.0.0.251 udp dport 6000 accept",
     PortVerdict::kDropped},
    {"a jump to a chain that accepts it", "jump allow", PortVerdict::kAccepted},
    {"a negated port match", "udp dport != 6000 drop\n accept", PortVerdict::kAccepted},
    {"a mark decides: undecided", "meta mark 0x1 accept", PortVerdict::kUnknown},
    {"a rule this reader does not know keeps both paths", "frobnicate 12 accept", PortVerdict::kUnknown},
    {"pkttype host accept", "pkttype host accept", PortVerdict::kAccepted},
    {"broadcast-only accepts never apply", "fib daddr type broadcast accept", PortVerdict::kDropped},
    {"a limited accept still accepts", "udp dport 6000 limit rate 10/second accept", PortVerdict::kAccepted},
};

TEST(NftRules, OneFactEach)
{
    for (const NftCase& c : kNftCases) {
        const std::string ruleset = std::string("table inet t {\n chain allow {\n  udp dport 6000 accept\n }\n"
                                                " chain input {\n  type filter hook input priority 0; policy drop;\n") +
                                    "  " + c.rules + "\n }\n}\n";
        ReplyPacket packet;
        packet.interface = "eth0";
        EXPECT_STREQ(Name(EvaluateNftRuleset(ruleset, packet).verdict), Name(c.verdict)) << c.why;
    }
}

TEST(NftRules, AnotherPortIsJudgedByItsOwnRules)
{
    ReplyPacket packet;
    packet.port = 6001;
    EXPECT_EQ(EvaluateNftRuleset(Fixture("nft-default-deny-port-open.txt"), packet).verdict, PortVerdict::kDropped);
}

TEST(NftRules, OwnerIsToldByTablesAndChains)
{
    EXPECT_EQ(NftRulesetOwner(Fixture("nft-firewalld-public.txt")), "firewalld");
    EXPECT_EQ(NftRulesetOwner(Fixture("nft-iptables-ufw-closed.txt")), "ufw");
    EXPECT_EQ(NftRulesetOwner(Fixture("nft-iptables-source-limited.txt")), "iptables");
    EXPECT_EQ(NftRulesetOwner(Fixture("nft-default-deny.txt")), "nftables");
}

TEST(UfwFiles, EnabledAndDefaultPolicy)
{
    EXPECT_TRUE(UfwEnabled("# /etc/ufw/ufw.conf\n\nENABLED=yes\nLOGLEVEL=low\n"));
    EXPECT_FALSE(UfwEnabled("ENABLED=no\n"));
    EXPECT_FALSE(UfwEnabled("# ENABLED=yes\n"));
    EXPECT_EQ(UfwDefaultInputPolicy("IPV6=yes\nDEFAULT_INPUT_POLICY=\"DROP\"\nDEFAULT_OUTPUT_POLICY=\"ACCEPT\"\n"),
              "DROP");
    EXPECT_EQ(UfwDefaultInputPolicy("IPV6=yes\n"), "");
}

TEST(UfwFiles, UserRulesAreTheUserChainWithUfwsDefaultAtItsEnd)
{
    const std::string userRules = "*filter\n:ufw-user-input - [0:0]\n### RULES ###\n"
                                  "### tuple ### allow udp 6000 0.0.0.0/0 any 0.0.0.0/0 in\n"
                                  "-A ufw-user-input -p udp --dport 6000 -j ACCEPT\nCOMMIT\n";
    ReplyPacket packet;
    EXPECT_EQ(EvaluateIptablesSave(userRules, packet, "ufw-user-input", "DROP").verdict, PortVerdict::kAccepted);
    packet.port = 6001;
    EXPECT_EQ(EvaluateIptablesSave(userRules, packet, "ufw-user-input", "DROP").verdict, PortVerdict::kDropped);
}

// Tool output cut anywhere (a killed tool, a full pipe) is judged without a
// crash; under the sanitizer builds this also checks every index.
TEST(Robustness, EveryPrefixOfEveryFixtureIsJudged)
{
    const char* fixtures[] = {"nft-default-deny.txt",        "nft-firewalld-public.txt",
                              "nft-iptables-ufw-closed.txt", "nftables-conf-workstation.nft",
                              "iptables-ufw-open.txt",       "ufw-status-interface.txt",
                              "firewalld-zones.txt",         "firewalld-service-vindrel.xml"};
    ReplyPacket packet;
    packet.interface = "eth0";
    const ServicePortLookup none = [](std::string_view) { return std::vector<std::string>(); };
    for (const char* name : fixtures) {
        const std::string text = Fixture(name);
        for (std::size_t n = 0; n <= text.size(); n += 3) {
            const std::string_view cut(text.data(), n);
            (void)EvaluateNftRuleset(cut, packet);
            (void)NftRulesetOwner(cut);
            (void)EvaluateIptablesSave(cut, packet);
            (void)EvaluateUfwStatus(cut, packet);
            (void)EvaluateFirewalldZones(cut, "", packet, none);
            (void)ParseFirewalldService(cut);
        }
    }
}

TEST(FirewalldService, PortsAndIncludes)
{
    const FirewalldService s = ParseFirewalldService(Fixture("firewalld-service-vindrel.xml"));
    EXPECT_EQ(s.ports, std::vector<std::string>{"6000/udp"});
    EXPECT_EQ(s.includes, std::vector<std::string>{"mdns"});
    EXPECT_TRUE(ParseFirewalldService("<service><port port=\"1\"").ports.empty()) << "cut off, never throws";
}

}  // namespace
