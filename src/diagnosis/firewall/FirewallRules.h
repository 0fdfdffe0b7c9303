#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// What the host firewall does with a server's reply, read from each tool's
// own output. Pure functions of text, so that every format is tested on
// fixtures (tests/diagnosis/firewall/data/); one reader per tool (NftRules.cpp,
// IptablesRules.cpp, UfwRules.cpp, FirewalldRules.cpp, sharing
// RuleMatching.h). discovery/FirewallCheck.h runs the tools
// and calls these.
//
// The packet in question is a server's reply: IPv4, UDP to the searching
// host's port 6000 from an unknown source address and port, addressed to the
// host's own unicast address, and NEW to connection tracking. Replies to a
// broadcast are never ESTABLISHED or RELATED (conntrack saw a packet to
// 255.255.255.255, not to the server), and the reply's ports differ from the
// probe's anyway, so accepting established,related traffic does not let
// them in.

struct ReplyPacket
{
    std::uint16_t port = 6000;  // destination port
    std::string interface;      // the interface it arrives on; empty: any
};

enum class PortVerdict {
    kAccepted,  // every path through the rules lets it in
    kDropped,   // every path drops or rejects it
    kUnknown,   // it depends on what the rules do not say (source address, marks...) or on what could not be read
};

// The verdict, and where a rule that lets the port in belongs.
struct RulesVerdict
{
    PortVerdict verdict = PortVerdict::kUnknown;
    bool filtersInput = false;  // some input chain or zone was found at all
    // Where to allow the port, for the command: nftables "inet filter input"
    // (family table chain); iptables "INPUT"; firewalld "default zone public"
    // or "zone home";
    // empty when nothing needs opening.
    std::vector<std::string> places;
};

// `nft list ruleset` output, or an nftables configuration file in the same
// syntax. Every base chain of family ip or inet on hook input is followed,
// jumps and gotos included; a packet must pass all of them.
RulesVerdict EvaluateNftRuleset(std::string_view ruleset, const ReplyPacket& packet);

// Which program made the tables of a ruleset, from its table and chain
// names: "firewalld", "ufw", "iptables" (iptables-nft's ip filter INPUT), or
// "nftables".
std::string NftRulesetOwner(std::string_view ruleset);

// `iptables-save` output (or a ufw user.rules file): the filter table's
// chain `chain` (INPUT). `policyOverride`, when not empty, stands for the
// chain's end ("DROP" for ufw's user chain, whose end is ufw's default).
RulesVerdict EvaluateIptablesSave(std::string_view save, const ReplyPacket& packet, std::string_view chain = "INPUT",
                                  std::string_view policyOverride = {});

// `ufw status verbose` output (run as root, LC_ALL=C). kUnknown when ufw
// says it is inactive or the text is not ufw's.
RulesVerdict EvaluateUfwStatus(std::string_view status, const ReplyPacket& packet);

// /etc/ufw/ufw.conf: whether ENABLED=yes.
bool UfwEnabled(std::string_view ufwConf);
// /etc/default/ufw: DEFAULT_INPUT_POLICY ("DROP", "REJECT", "ACCEPT"), or
// empty when not set.
std::string UfwDefaultInputPolicy(std::string_view defaults);

// `firewall-cmd --list-all-zones` output. The zone of an interface is the one
// that lists it, else `defaultZone` (when empty: the zone marked "default").
// `servicePorts` gives a service's ports as "6000/udp" or "5000-6010/udp";
// a service it knows nothing of opens nothing. With packet.interface empty,
// every zone in use is judged: the default zone and each that has
// interfaces.
using ServicePortLookup = std::function<std::vector<std::string>(std::string_view service)>;
RulesVerdict EvaluateFirewalldZones(std::string_view listAllZones, std::string_view defaultZone,
                                    const ReplyPacket& packet, const ServicePortLookup& servicePorts);

// The ports of a firewalld service file (<port protocol="udp" port="6000"/>)
// as "6000/udp", and the services it includes (<include service="x"/>).
struct FirewalldService
{
    std::vector<std::string> ports;
    std::vector<std::string> includes;
};
FirewalldService ParseFirewalldService(std::string_view xml);
