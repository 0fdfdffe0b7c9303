#pragma once

#include "diagnosis/firewall/FirewallRules.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// What the rule readers of discovery/FirewallRules.h share: three-valued
// matches, outcome sets and running a list of rules as a chain does. Only
// the readers (NftRules.cpp, IptablesRules.cpp, UfwRules.cpp,
// FirewalldRules.cpp) include this.
namespace rules {

// What a rule, chain or zone may do with the packet: a set of outcomes, so
// that a rule whose match cannot be decided keeps both of its paths.
enum Outcome : unsigned {
    kAccept = 1,
    kDrop = 2,
    kNext = 4,    // on to the next rule
    kReturn = 8,  // leave the chain (its end, or a return)
};

enum class Tri { kFalse, kTrue, kUnknown };

inline Tri Not(Tri t)
{
    return t == Tri::kTrue ? Tri::kFalse : t == Tri::kFalse ? Tri::kTrue : Tri::kUnknown;
}

// A match that holds for any of `values`: true if one is true, false if all
// are false, unknown otherwise.
template <typename F>
Tri AnyOf(const std::vector<std::string>& values, F test)
{
    Tri result = Tri::kFalse;
    for (const std::string& v : values) {
        const Tri t = test(v);
        if (t == Tri::kTrue)
            return Tri::kTrue;
        if (t == Tri::kUnknown)
            result = Tri::kUnknown;
    }
    return result;
}

// One rule reduced to whether it matches and what it may then do.
struct Step
{
    Tri match = Tri::kTrue;
    unsigned outcomes = kNext;
};

// The outcomes a list of rules can have, as a chain runs them; `atEnd` for
// falling off its end.
unsigned RunSteps(const std::vector<Step>& steps, unsigned atEnd);

// Runs each chain of a rule set once, by name. Rules that jump to one chain
// from many places would otherwise double the work with every level; a
// loop (which the tools refuse to load, but a file may hold) or more levels
// than the kernel allows decides nothing.
class ChainRuns
{
public:
    // `run` gives the chain's outcomes (running its rules, which may come
    // back here for the chains they jump to).
    template <typename Run>
    unsigned Once(const std::string& name, int depth, Run run)
    {
        if (const auto done = m_done.find(name); done != m_done.end())
            return done->second;
        if (depth > 16 || !m_running.insert(name).second)
            return kAccept | kDrop;
        const unsigned outcomes = run();
        m_running.erase(name);
        m_done.emplace(name, outcomes);
        return outcomes;
    }

private:
    std::map<std::string, unsigned> m_done;  // chain → its outcomes
    std::set<std::string> m_running;         // the chains being run
};
PortVerdict VerdictOf(unsigned outcomes);

std::string Lower(std::string_view text);
// Decimal, or hex with 0x.
std::optional<long> Number(std::string_view text);
// "6000", "5000-7000", "5000:7000" (iptables, ufw), service names, against `port`.
Tri PortMatches(std::string_view value, std::uint16_t port);
// A destination address or prefix: false when it can only be multicast or
// broadcast (a reply to our own unicast address never matches), else unknown.
Tri DestinationMatches(std::string_view value);
// A source: true for 0.0.0.0/0, else unknown (servers may be anywhere).
Tri SourceMatches(std::string_view value);
// An interface name against a pattern ('+' ends iptables wildcards, '*'
// nft's). With the interface unknown only "lo" is decided: never.
Tri InterfaceMatches(std::string_view pattern, const std::string& interface);

std::vector<std::string> SplitShellWords(std::string_view line);
std::vector<std::string> SplitList(std::string_view text, char separator);
std::vector<std::string> Words(std::string_view text);
std::string Trim(std::string_view s);

}  // namespace rules
