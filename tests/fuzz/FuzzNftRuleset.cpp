// libFuzzer target for the nftables reader, on `nft list ruleset` output
// (corpus nft-ruleset) and on configuration files in the same syntax
// (corpus nft-config). Aborts when a judgement differs on a second reading,
// names no place for a dropped port (or one for an accepted port), decides
// differently once the interface is known, or names an owner that is not
// one of the four.

#include "FuzzRules.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReplyPacket any;
    ReplyPacket eth0;
    eth0.interface = "eth0";

    const RulesVerdict v = EvaluateNftRuleset(text, any);
    fuzz::CheckShape(v);
    FUZZ_CHECK(fuzz::Same(v, EvaluateNftRuleset(text, any)));
    if (!v.filtersInput)
        FUZZ_CHECK(v.verdict == PortVerdict::kAccepted);  // no input chain: nothing filters
    const RulesVerdict onEth0 = EvaluateNftRuleset(text, eth0);
    fuzz::CheckShape(onEth0);
    fuzz::CheckNarrowing(v, onEth0);

    const std::string owner = NftRulesetOwner(text);
    FUZZ_CHECK(owner == "firewalld" || owner == "ufw" || owner == "iptables" || owner == "nftables");
    return 0;
}
