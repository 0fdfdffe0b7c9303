#include "diagnosis/firewall/FirewallCheck.h"

// The names of front ends and evidence and the command that lets a port in,
// the same on every system; the check itself is the system's part
// (FirewallCheck.cpp; FirewallCheck_win.cpp).

namespace {

std::string Join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i ? std::string(separator) : std::string()) + parts[i];
    return out;
}

}  // namespace

std::string_view FirewallFrontEndName(FirewallFrontEnd frontEnd)
{
    switch (frontEnd) {
    case FirewallFrontEnd::kNone: return "none";
    case FirewallFrontEnd::kFirewalld: return "firewalld";
    case FirewallFrontEnd::kUfw: return "ufw";
    case FirewallFrontEnd::kNftables: return "nftables";
    case FirewallFrontEnd::kIptables: return "iptables";
    case FirewallFrontEnd::kUnknown: break;
    }
    return "unknown";
}

std::string_view FirewallEvidenceName(FirewallEvidence evidence)
{
    switch (evidence) {
    case FirewallEvidence::kLiveRules: return "live-rules";
    case FirewallEvidence::kConfiguration: return "configuration";
    case FirewallEvidence::kNotPermitted: return "not-permitted";
    case FirewallEvidence::kNoAnswer: return "no-answer";
    case FirewallEvidence::kNothingFound: break;
    }
    return "nothing-found";
}

std::string AllowCommand(FirewallFrontEnd frontEnd, std::uint16_t port, const std::vector<std::string>& places)
{
    const std::string p = std::to_string(port);
    switch (frontEnd) {
    case FirewallFrontEnd::kFirewalld: {
        std::vector<std::string> adds;
        for (const std::string& place : places) {
            const bool isDefault = place.starts_with("default zone ");
            const std::string zone = place.substr(place.rfind(' ') + 1);
            adds.push_back("sudo firewall-cmd --permanent " + (isDefault ? std::string() : "--zone=" + zone + " ") +
                           "--add-port=" + p + "/udp");
        }
        if (adds.empty())
            adds.push_back("sudo firewall-cmd --permanent --add-port=" + p + "/udp");
        return Join(adds, " && ") + " && sudo firewall-cmd --reload";
    }
    case FirewallFrontEnd::kUfw: return "sudo ufw allow " + p + "/udp";
    case FirewallFrontEnd::kNftables: {
        std::vector<std::string> inserts;
        for (const std::string& place : places)
            inserts.push_back("sudo nft insert rule " + place + " udp dport " + p + " accept");
        if (inserts.empty())
            inserts.push_back("sudo nft insert rule inet filter input udp dport " + p + " accept");
        return Join(inserts, " && ");
    }
    case FirewallFrontEnd::kIptables: return "sudo iptables -I INPUT -p udp --dport " + p + " -j ACCEPT";
    case FirewallFrontEnd::kNone:
    case FirewallFrontEnd::kUnknown: break;
    }
    return {};
}
