#include "diagnosis/firewall/FirewallCheck.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kSlowTool{1500};  // firewall-cmd and ufw are Python programs
constexpr milliseconds kFastTool{1000};
constexpr milliseconds kLeastUseful{50};

// The time left of the check's budget, handed out command by command.
class Budget
{
public:
    explicit Budget(milliseconds total)
        : m_end(Clock::now() + total)
    {
    }
    milliseconds Left() const
    {
        return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(m_end - Clock::now()));
    }

private:
    Clock::time_point m_end;
};

class Check
{
public:
    Check(std::uint16_t port, const std::vector<std::string>& interfaces, milliseconds budget,
          const FirewallProbe& probe)
        : m_interfaces(interfaces.empty() ? std::vector<std::string>{""} : interfaces)
        , m_budget(budget)
        , m_probe(probe)
    {
        m_finding.port = port;
    }

    FirewallFinding Run()
    {
        if (Firewalld() || Ufw() || LiveRules() || Service())
            return Finish();
        m_finding.filterModulesLoaded = FilterModulesLoaded();
        if (m_permissionDenied || m_finding.filterModulesLoaded) {
            m_finding.frontEnd = FirewallFrontEnd::kUnknown;
            m_finding.evidence = m_noAnswer ? FirewallEvidence::kNoAnswer : FirewallEvidence::kNotPermitted;
        } else {
            m_finding.frontEnd = FirewallFrontEnd::kNone;
            m_finding.evidence = m_noAnswer ? FirewallEvidence::kNoAnswer : FirewallEvidence::kNothingFound;
        }
        return m_finding;
    }

private:
    // A command's result, or nullopt when it could not be run, did not
    // answer in time, or the budget is spent.
    std::optional<ToolResult> Ask(const std::vector<std::string>& argv, milliseconds cap)
    {
        const milliseconds left = m_budget.Left();
        if (left < kLeastUseful) {
            m_noAnswer = true;
            return std::nullopt;
        }
        ToolResult r = m_probe.run(argv, std::min(cap, left));
        if (!r.started)
            return std::nullopt;
        if (r.timedOut) {
            m_noAnswer = true;
            return std::nullopt;
        }
        return r;
    }

    std::optional<std::string> Read(const std::string& path) const { return m_probe.readFile(path); }

    // Judges the rules once per interface: dropped on any is dropped.
    template <typename F>
    RulesVerdict PerInterface(F evaluate)
    {
        RulesVerdict all;
        bool anyDrop = false, anyUnknown = false;
        for (const std::string& name : m_interfaces) {
            ReplyPacket packet;
            packet.port = m_finding.port;
            packet.interface = name;
            const RulesVerdict v = evaluate(packet);
            all.filtersInput = all.filtersInput || v.filtersInput;
            anyDrop = anyDrop || v.verdict == PortVerdict::kDropped;
            anyUnknown = anyUnknown || v.verdict == PortVerdict::kUnknown;
            for (const std::string& place : v.places)
                if (std::find(all.places.begin(), all.places.end(), place) == all.places.end())
                    all.places.push_back(place);
        }
        all.verdict = anyDrop ? PortVerdict::kDropped : anyUnknown ? PortVerdict::kUnknown : PortVerdict::kAccepted;
        return all;
    }

    void Take(const RulesVerdict& v, FirewallEvidence evidence)
    {
        m_finding.verdict = v.verdict;
        m_finding.places = v.places;
        m_finding.evidence = evidence;
    }

    FirewallFinding Finish()
    {
        if (m_finding.verdict != PortVerdict::kAccepted)
            m_finding.allowCommand = AllowCommand(m_finding.frontEnd, m_finding.port, m_finding.places);
        return m_finding;
    }

    bool PidFileLive(const std::string& path) const
    {
        const auto text = Read(path);
        if (!text)
            return false;
        const std::string pid = text->substr(0, text->find_first_of("\r\n "));
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const auto comm = Read("/proc/" + pid + "/comm");
        return comm && comm->find("firewalld") != std::string::npos;
    }

    std::vector<std::string> ServicePorts(std::string_view service, int depth) const
    {
        if (depth > 3 || service.empty() || service.find('/') != std::string_view::npos)
            return {};
        const std::string file = std::string(service) + ".xml";
        auto xml = Read("/etc/firewalld/services/" + file);
        if (!xml)
            xml = Read("/usr/lib/firewalld/services/" + file);
        if (!xml)
            return {};
        const FirewalldService parsed = ParseFirewalldService(*xml);
        std::vector<std::string> ports = parsed.ports;
        for (const std::string& included : parsed.includes)
            for (const std::string& p : ServicePorts(included, depth + 1))
                ports.push_back(p);
        return ports;
    }

    bool Firewalld()
    {
        bool running = PidFileLive("/run/firewalld.pid") || PidFileLive("/var/run/firewalld.pid");
        if (!running) {
            const auto state = Ask({"firewall-cmd", "--state"}, kSlowTool);
            running = state && state->exitCode == 0 && state->output.starts_with("running");
        }
        if (!running)
            return false;
        m_finding.frontEnd = FirewallFrontEnd::kFirewalld;
        m_finding.defaultDeny = true;  // a zone rejects what it does not allow, unless its target is ACCEPT
        const auto zones = Ask({"firewall-cmd", "--list-all-zones"}, kSlowTool);
        if (!zones || zones->exitCode != 0 || zones->output.empty()) {
            m_finding.evidence = m_noAnswer ? FirewallEvidence::kNoAnswer : FirewallEvidence::kNotPermitted;
            return true;
        }
        std::string defaultZone;
        if (zones->output.find("(default") == std::string::npos) {
            // Older versions do not mark the default zone in the list.
            if (const auto d = Ask({"firewall-cmd", "--get-default-zone"}, kSlowTool); d && d->exitCode == 0)
                defaultZone = d->output.substr(0, d->output.find_first_of("\r\n"));
        }
        const ServicePortLookup lookup = [this](std::string_view s) { return ServicePorts(s, 0); };
        Take(PerInterface(
                 [&](const ReplyPacket& p) { return EvaluateFirewalldZones(zones->output, defaultZone, p, lookup); }),
             FirewallEvidence::kLiveRules);
        return true;
    }

    bool Ufw()
    {
        const auto conf = Read("/etc/ufw/ufw.conf");
        if (!conf || !UfwEnabled(*conf))
            return false;
        std::string policy = UfwDefaultInputPolicy(Read("/etc/default/ufw").value_or(""));
        if (policy.empty())
            policy = "DROP";  // ufw's own default
        if (m_probe.isRoot) {
            const auto status = Ask({"ufw", "status", "verbose"}, kSlowTool);
            if (status && status->output.find("Status: inactive") != std::string::npos)
                return false;  // enabled in its file, not running: the rules below tell
            if (status && status->exitCode == 0) {
                m_finding.frontEnd = FirewallFrontEnd::kUfw;
                Take(PerInterface([&](const ReplyPacket& p) { return EvaluateUfwStatus(status->output, p); }),
                     FirewallEvidence::kLiveRules);
                return true;
            }
        }
        m_finding.frontEnd = FirewallFrontEnd::kUfw;
        m_finding.defaultDeny = policy != "ACCEPT";
        if (const auto userRules = Read("/etc/ufw/user.rules")) {
            Take(PerInterface([&](const ReplyPacket& p) {
                     return EvaluateIptablesSave(*userRules, p, "ufw-user-input", policy);
                 }),
                 FirewallEvidence::kConfiguration);
        } else {
            m_finding.evidence = m_noAnswer ? FirewallEvidence::kNoAnswer : FirewallEvidence::kNotPermitted;
        }
        return true;
    }

    static FirewallFrontEnd FrontEndOf(const std::string& owner)
    {
        if (owner == "firewalld")
            return FirewallFrontEnd::kFirewalld;
        if (owner == "ufw")
            return FirewallFrontEnd::kUfw;
        if (owner == "iptables")
            return FirewallFrontEnd::kIptables;
        return FirewallFrontEnd::kNftables;
    }

    bool LiveRules()
    {
        bool readAny = false;
        if (const auto nft = Ask({"nft", "list", "ruleset"}, kFastTool)) {
            if (nft->exitCode == 0) {
                readAny = true;
                const RulesVerdict v =
                    PerInterface([&](const ReplyPacket& p) { return EvaluateNftRuleset(nft->output, p); });
                if (v.filtersInput) {
                    m_finding.frontEnd = FrontEndOf(NftRulesetOwner(nft->output));
                    Take(v, FirewallEvidence::kLiveRules);
                    return true;
                }
            } else {
                m_permissionDenied = true;
            }
        }
        // Legacy iptables rules never show in nft's ruleset.
        if (const auto save = Ask({"iptables-save"}, kFastTool)) {
            if (save->exitCode == 0) {
                readAny = true;
                const RulesVerdict v =
                    PerInterface([&](const ReplyPacket& p) { return EvaluateIptablesSave(save->output, p); });
                if (v.filtersInput) {
                    m_finding.frontEnd = save->output.find(":ufw-") != std::string::npos ? FirewallFrontEnd::kUfw
                                                                                         : FirewallFrontEnd::kIptables;
                    Take(v, FirewallEvidence::kLiveRules);
                    return true;
                }
            } else {
                m_permissionDenied = true;
            }
        }
        if (readAny && !m_permissionDenied) {
            m_finding.frontEnd = FirewallFrontEnd::kNone;
            m_finding.verdict = PortVerdict::kAccepted;
            m_finding.evidence = FirewallEvidence::kLiveRules;
            return true;
        }
        return false;
    }

    // nftables loaded at boot from its configuration file.
    bool Service()
    {
        const auto active = Ask({"systemctl", "is-active", "nftables"}, kFastTool);
        if (!active || active->output.substr(0, active->output.find('\n')) != "active")
            return false;
        m_finding.frontEnd = FirewallFrontEnd::kNftables;
        for (const char* path : {"/etc/nftables.conf", "/etc/sysconfig/nftables.conf"}) {
            const auto conf = Read(path);
            if (!conf)
                continue;
            // Included files are not followed; what they hold is unknown.
            if (conf->find("include") != std::string::npos)
                break;
            const RulesVerdict v = PerInterface([&](const ReplyPacket& p) { return EvaluateNftRuleset(*conf, p); });
            Take(v, FirewallEvidence::kConfiguration);
            return true;
        }
        m_finding.evidence = FirewallEvidence::kNotPermitted;
        return true;
    }

    bool FilterModulesLoaded() const
    {
        std::istringstream modules(Read("/proc/modules").value_or(""));
        for (std::string line; std::getline(modules, line);)
            if (line.starts_with("nf_tables ") || line.starts_with("ip_tables "))
                return true;
        return false;
    }

    const std::vector<std::string> m_interfaces;
    Budget m_budget;
    const FirewallProbe& m_probe;
    FirewallFinding m_finding;
    bool m_permissionDenied = false;
    bool m_noAnswer = false;
};

}  // namespace

FirewallProbe FirewallProbe::System()
{
    FirewallProbe probe;
    probe.run = [](const std::vector<std::string>& argv, milliseconds timeout) { return RunTool(argv, timeout); };
    probe.readFile = [](const std::string& path) -> std::optional<std::string> {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    probe.isRoot = geteuid() == 0;
    return probe;
}

bool CanCheckFirewall()
{
    return true;
}

FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>& interfaces, milliseconds budget)
{
    return CheckFirewall(port, interfaces, budget, FirewallProbe::System());
}

FirewallFinding CheckFirewall(std::uint16_t port, const std::vector<std::string>& interfaces, milliseconds budget,
                              const FirewallProbe& probe)
{
    return Check(port, interfaces, budget, probe).Run();
}
