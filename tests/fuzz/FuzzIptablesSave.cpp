// libFuzzer target for the iptables-save reader, as the firewall check calls
// it: the INPUT chain, and ufw's user chain with ufw's default at its end.
// Aborts when a judgement differs on a second reading, names no place for a
// dropped port (or one for an accepted port), decides differently once the
// interface is known, or when a dropping end lets in what an accepting end
// drops (and the other way round).

#include "FuzzRules.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReplyPacket any;
    ReplyPacket eth0;
    eth0.interface = "eth0";

    const RulesVerdict v = EvaluateIptablesSave(text, any);
    fuzz::CheckShape(v);
    FUZZ_CHECK(fuzz::Same(v, EvaluateIptablesSave(text, any)));
    const RulesVerdict onEth0 = EvaluateIptablesSave(text, eth0);
    fuzz::CheckShape(onEth0);
    fuzz::CheckNarrowing(v, onEth0);

    const RulesVerdict dropEnd = EvaluateIptablesSave(text, any, "ufw-user-input", "DROP");
    const RulesVerdict acceptEnd = EvaluateIptablesSave(text, any, "ufw-user-input", "ACCEPT");
    fuzz::CheckShape(dropEnd);
    fuzz::CheckShape(acceptEnd);
    if (acceptEnd.verdict == PortVerdict::kDropped)
        FUZZ_CHECK(dropEnd.verdict == PortVerdict::kDropped);
    if (dropEnd.verdict == PortVerdict::kAccepted)
        FUZZ_CHECK(acceptEnd.verdict == PortVerdict::kAccepted);
    return 0;
}
