// libFuzzer target for what is read of ufw: `ufw status verbose`,
// /etc/ufw/ufw.conf and /etc/default/ufw (one input stands for each).
// Aborts when a judgement differs on a second reading or once the interface
// is known, names a place (ufw's verdicts never do), or when the default
// policy read keeps quotes, blanks at its ends or a line end.

#include "FuzzRules.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReplyPacket any;
    ReplyPacket eth0;
    eth0.interface = "eth0";

    const RulesVerdict v = EvaluateUfwStatus(text, any);
    FUZZ_CHECK(v.places.empty());
    FUZZ_CHECK(fuzz::Same(v, EvaluateUfwStatus(text, any)));
    if (!v.filtersInput)
        FUZZ_CHECK(v.verdict == PortVerdict::kUnknown);  // inactive, or not ufw's text
    fuzz::CheckNarrowing(v, EvaluateUfwStatus(text, eth0));

    FUZZ_CHECK(UfwEnabled(text) == UfwEnabled(text));
    const std::string policy = UfwDefaultInputPolicy(text);
    FUZZ_CHECK(policy.find_first_of("\"\n") == std::string::npos);
    if (!policy.empty()) {
        FUZZ_CHECK(policy.front() != ' ' && policy.front() != '\t');
        FUZZ_CHECK(policy.back() != ' ' && policy.back() != '\t' && policy.back() != '\r');
    }
    return 0;
}
