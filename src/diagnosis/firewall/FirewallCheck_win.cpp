#include "diagnosis/firewall/FirewallCheck.h"

// NOTE: not implemented on Windows. Windows Defender Firewall (or another
// product) decides with rules per program, port and network profile that
// only its COM interfaces (INetFwPolicy2) expose, and judging them is
// another check altogether. The finding says nothing is known, and
// CanCheckFirewall() tells callers to report the firewall as not checked.

bool CanCheckFirewall()
{
    return false;
}

FirewallProbe FirewallProbe::System()
{
    return {};
}

FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>& interfaces,
                              std::chrono::milliseconds budget)
{
    return CheckFirewall(port, interfaces, budget, FirewallProbe::System());
}

FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>&, std::chrono::milliseconds,
                              const FirewallProbe&)
{
    FirewallFinding finding;
    finding.port = port;
    finding.frontEnd = FirewallFrontEnd::kUnknown;
    finding.verdict = PortVerdict::kUnknown;
    finding.evidence = FirewallEvidence::kNothingFound;
    return finding;
}
