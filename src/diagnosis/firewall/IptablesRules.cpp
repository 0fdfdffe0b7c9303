#include "diagnosis/firewall/FirewallRules.h"

#include "diagnosis/firewall/RuleMatching.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

using namespace rules;

// iptables-save output and ufw user.rules files.

namespace {

struct IptChain
{
    std::string policy;  // "ACCEPT", "DROP", "-" for a user chain
    std::vector<std::vector<std::string>> rules;
};

class IptEvaluator
{
public:
    IptEvaluator(const std::map<std::string, IptChain>& chains, const ReplyPacket& packet)
        : m_chains(chains)
        , m_packet(packet)
    {
    }

    // A chain's outcomes; each chain runs once.
    unsigned RunChain(const std::string& name, int depth)
    {
        const auto it = m_chains.find(name);
        if (it == m_chains.end())
            return kAccept | kDrop;
        return m_runs.Once(name, depth, [&] {
            std::vector<Step> steps;
            for (const auto& rule : it->second.rules)
                steps.push_back(EvalRule(rule, depth));
            return RunSteps(steps, kReturn);
        });
    }

private:
    unsigned Target(const std::string& target, bool isGoto, int depth)
    {
        if (target == "ACCEPT")
            return kAccept;
        if (target == "DROP" || target == "REJECT")
            return kDrop;
        if (target == "RETURN")
            return kReturn;
        if (target == "QUEUE" || target == "NFQUEUE")
            return kAccept | kDrop;
        if (m_chains.count(target)) {
            unsigned outcomes = RunChain(target, depth + 1);
            if (!isGoto && (outcomes & kReturn))
                outcomes = (outcomes & ~kReturn) | kNext;
            return outcomes;
        }
        // LOG, MARK, CT, NFLOG... change nothing about the packet's fate.
        static const char* const kNonTerminal[] = {"LOG",     "NFLOG", "ULOG",  "MARK",     "CONNMARK", "CT",
                                                   "NOTRACK", "AUDIT", "TRACE", "CHECKSUM", "DSCP",     "TOS"};
        for (const char* name : kNonTerminal)
            if (target == name)
                return kNext;
        return kAccept | kDrop | kNext;
    }

    Step EvalRule(const std::vector<std::string>& w, int depth)
    {
        Step step;
        bool negate = false;
        auto combine = [&](Tri m) {
            if (negate)
                m = Not(m);
            negate = false;
            if (m == Tri::kFalse)
                step.match = Tri::kFalse;
            else if (m == Tri::kUnknown && step.match != Tri::kFalse)
                step.match = Tri::kUnknown;
        };
        auto value = [&](std::size_t& i) -> std::string { return i + 1 < w.size() ? w[++i] : std::string(); };
        for (std::size_t i = 0; i < w.size() && step.match != Tri::kFalse; ++i) {
            const std::string& o = w[i];
            if (o == "!") {
                negate = true;
            } else if (o == "-i" || o == "--in-interface") {
                const std::string v = value(i);
                combine(InterfaceMatches(v, m_packet.interface));
            } else if (o == "-p" || o == "--protocol") {
                const std::string v = Lower(value(i));
                combine(v == "udp" || v == "17" || v == "all" || v == "0" ? Tri::kTrue : Tri::kFalse);
            } else if (o == "-s" || o == "--source") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) { return SourceMatches(v); }));
            } else if (o == "-d" || o == "--destination") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) { return DestinationMatches(v); }));
            } else if (o == "-m" || o == "--match") {
                ++i;  // the module's options follow
            } else if (o == "--dport" || o == "--destination-port" || o == "--dports" || o == "--destination-ports" ||
                       o == "--ports") {
                const std::uint16_t port = m_packet.port;
                combine(AnyOf(SplitList(value(i), ','), [&](const std::string& v) { return PortMatches(v, port); }));
            } else if (o == "--ctstate" || o == "--state") {
                combine(AnyOf(SplitList(value(i), ','),
                              [](const std::string& v) { return v == "NEW" ? Tri::kTrue : Tri::kFalse; }));
            } else if (o == "--dst-type") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) {
                    return v == "LOCAL"                                             ? Tri::kTrue
                           : v == "BROADCAST" || v == "MULTICAST" || v == "ANYCAST" ? Tri::kFalse
                                                                                    : Tri::kUnknown;
                }));
            } else if (o == "--pkt-type") {
                const std::string v = value(i);
                combine(v == "unicast" || v == "host" ? Tri::kTrue : Tri::kFalse);
            } else if (o == "--comment" || o == "--limit" || o == "--limit-burst") {
                (void)value(i);
            } else if (o == "--limit-iface-in" || o == "--limit-iface-out") {
            } else if (o == "-j" || o == "--jump" || o == "-g" || o == "--goto") {
                step.outcomes = Target(value(i), o == "-g" || o == "--goto", depth);
                break;  // the target's own options follow
            } else if (o.starts_with("[")) {
                // packet counters of iptables-save -c
            } else {
                // -o in INPUT, source ports, marks, recent, sets...: not decided here.
                if (i + 1 < w.size() && !w[i + 1].starts_with("-"))
                    ++i;
                combine(Tri::kUnknown);
            }
        }
        return step;
    }

    const std::map<std::string, IptChain>& m_chains;
    const ReplyPacket& m_packet;
    ChainRuns m_runs;
};

}  // namespace

RulesVerdict EvaluateIptablesSave(std::string_view save, const ReplyPacket& packet, std::string_view chain,
                                  std::string_view policyOverride)
{
    std::map<std::string, IptChain> chains;
    bool inFilter = false;
    for (const std::string& raw : SplitList(save, '\n')) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '*') {
            inFilter = line == "*filter";
            continue;
        }
        if (!inFilter)
            continue;
        if (line[0] == ':') {
            const std::vector<std::string> w = Words(line.substr(1));
            if (!w.empty())
                chains[w[0]].policy = w.size() > 1 ? w[1] : "-";
            continue;
        }
        std::vector<std::string> w = SplitShellWords(line);
        if (!w.empty() && w[0].starts_with("["))
            w.erase(w.begin());  // counters of iptables-save -c
        if (w.size() >= 2 && (w[0] == "-A" || w[0] == "--append")) {
            const std::string name = w[1];
            w.erase(w.begin(), w.begin() + 2);
            chains[name].rules.push_back(std::move(w));
        }
    }
    RulesVerdict result;
    const auto it = chains.find(std::string(chain));
    if (it == chains.end())
        return result;
    const std::string policy = policyOverride.empty() ? it->second.policy : std::string(policyOverride);
    const bool policyDrops = policy == "DROP" || policy == "REJECT";
    result.filtersInput = policyDrops || !it->second.rules.empty();
    IptEvaluator evaluator(chains, packet);
    unsigned outcomes = evaluator.RunChain(std::string(chain), 0);
    if (outcomes & kReturn)
        outcomes = (outcomes & ~kReturn) | (policyDrops ? kDrop : kAccept);
    result.verdict = VerdictOf(outcomes);
    if (outcomes & kDrop)
        result.places.push_back(std::string(chain));
    return result;
}
