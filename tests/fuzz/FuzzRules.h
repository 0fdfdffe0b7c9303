#pragma once

#include "FuzzCheck.h"

#include "diagnosis/firewall/FirewallRules.h"

// Properties every firewall reader's verdict has.
namespace fuzz {

inline bool Same(const RulesVerdict& a, const RulesVerdict& b)
{
    return a.verdict == b.verdict && a.filtersInput == b.filtersInput && a.places == b.places;
}

// A verdict names where to open the port exactly when something may drop it:
// an accepted port needs no command, a dropped one needs a place.
inline void CheckShape(const RulesVerdict& v)
{
    if (v.verdict == PortVerdict::kAccepted)
        FUZZ_CHECK(v.places.empty());
    if (v.verdict == PortVerdict::kDropped)
        FUZZ_CHECK(!v.places.empty());
    for (const std::string& place : v.places)
        FUZZ_CHECK(!place.empty());
}

// Knowing the interface only takes away doubt: what the rules decide for a
// reply on any interface, they decide the same for one on eth0.
inline void CheckNarrowing(const RulesVerdict& anyInterface, const RulesVerdict& eth0)
{
    if (anyInterface.verdict != PortVerdict::kUnknown)
        FUZZ_CHECK(eth0.verdict == anyInterface.verdict);
}

}  // namespace fuzz
