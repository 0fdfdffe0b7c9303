#pragma once

#include "diagnosis/firewall/FirewallRules.h"
#include "diagnosis/firewall/ToolRunner.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whether the host firewall drops the servers' replies, as far as can be
// learnt without root, and the command that lets them in. Callers: the
// front ends that build a diagnosis (discovery/Diagnosis.h); run it off the
// GUI thread, it may take up to its budget (2 s by default).
//
// It only reads: firewall-cmd --state / --list-all-zones / --get-default-zone,
// ufw status verbose (root only), nft list ruleset, iptables-save,
// systemctl is-active nftables, and configuration files. It never changes a
// rule. The rule texts are judged by discovery/FirewallRules.h.

enum class FirewallFrontEnd {
    kNone,  // the rules could be read and nothing filters incoming traffic
    kFirewalld,
    kUfw,
    kNftables,
    kIptables,
    kUnknown,  // rules may exist but could not be read
};

// "none", "firewalld", "ufw", "nftables", "iptables", "unknown" (JSON, logs).
std::string_view FirewallFrontEndName(FirewallFrontEnd frontEnd);

enum class FirewallEvidence {
    kLiveRules,      // the rules in force were read
    kConfiguration,  // only configuration files could be read; the rules in force may differ
    kNotPermitted,   // the rules are only readable as root
    kNoAnswer,       // the tool did not answer within the time allowed
    kNothingFound,   // no firewall tool, daemon or rule was found
};

std::string_view FirewallEvidenceName(FirewallEvidence evidence);

struct FirewallFinding
{
    std::uint16_t port = 6000;
    FirewallFrontEnd frontEnd = FirewallFrontEnd::kUnknown;
    PortVerdict verdict = PortVerdict::kUnknown;  // for UDP to `port`
    FirewallEvidence evidence = FirewallEvidence::kNothingFound;
    // The front end drops what no rule allows (firewalld's zones, ufw's
    // default, policy drop), though its exceptions could not be read.
    bool defaultDeny = false;
    // nf_tables or ip_tables is loaded (/proc/modules): rules may exist.
    bool filterModulesLoaded = false;
    // Where it drops: nftables "inet filter input", iptables "INPUT",
    // firewalld "default zone public" or "zone home".
    std::vector<std::string> places;
    // The exact command that lets the port in for this front end, e.g.
    // "sudo ufw allow 6000/udp"; empty when it lets the port in already or
    // no front end is known.
    std::string allowCommand;
};

// What the check asks of the system; tests replace it.
struct FirewallProbe
{
    std::function<ToolResult(const std::vector<std::string>& argv, std::chrono::milliseconds timeout)> run;
    std::function<std::optional<std::string>(const std::string& path)> readFile;
    bool isRoot = false;

    static FirewallProbe System();
};

// Whether CheckFirewall can learn anything here: false on Windows, where it
// is not implemented. Callers then leave the firewall out of a diagnosis,
// which reports it as not checked.
bool CanCheckFirewall();

// Judges the replies arriving on `interfaces` (names; empty: any interface)
// within `budget` in all.
FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>& interfaces,
                              std::chrono::milliseconds budget = std::chrono::milliseconds(2000));
FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>& interfaces,
                              std::chrono::milliseconds budget, const FirewallProbe& probe);

// The command that allows UDP `port` in for a front end, given where it
// drops (FirewallFinding::places):
//   firewalld  sudo firewall-cmd --permanent --add-port=6000/udp && sudo firewall-cmd --reload
//              (with --zone=NAME for a zone that is not the default)
//   ufw        sudo ufw allow 6000/udp
//   nftables   sudo nft insert rule inet filter input udp dport 6000 accept
//              (insert, not add: an add lands after a final drop or reject)
//   iptables   sudo iptables -I INPUT -p udp --dport 6000 -j ACCEPT
// Empty for kNone and kUnknown.
std::string AllowCommand(FirewallFrontEnd frontEnd, std::uint16_t port, const std::vector<std::string>& places);
