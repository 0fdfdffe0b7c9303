// libFuzzer target for a probe target as a person types it ("10.20.0.7",
// "10.20.0.0/24", "10.20.0.5-10.20.0.40"). Aborts when
//  - a parse gives both a target and an error, or neither,
//  - a target does not keep the text as written, runs backwards, holds more
//    than a /16, or reaches 0.0.0.0/8, multicast or 240.0.0.0/4,
//  - the same addresses written as a range do not parse to themselves,
//  - a refusal does not name what was written.

#include "FuzzCheck.h"

#include "discovery/ProbeTarget.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string Dotted(std::uint32_t a)
{
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." + std::to_string((a >> 8) & 255) +
           "." + std::to_string(a & 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view written(reinterpret_cast<const char*>(data), size);
    const ProbeTargetParse parse = ParseProbeTarget(written);
    FUZZ_CHECK(parse.target.has_value() == parse.error.empty());
    if (!parse.target) {
        FUZZ_CHECK(parse.error.starts_with("'" + std::string(written) + "'"));
        return 0;
    }
    const ProbeTarget& t = *parse.target;
    FUZZ_CHECK(t.written == written);
    FUZZ_CHECK(t.first <= t.last);
    FUZZ_CHECK(t.Size() <= ProbeTarget::kMaxAddresses);
    FUZZ_CHECK(t.first > 0x00FFFFFFu && t.last < 0xE0000000u);

    const std::string range = Dotted(t.first) + "-" + Dotted(t.last);
    const ProbeTargetParse again = ParseProbeTarget(range);
    FUZZ_CHECK(again.target && again.target->first == t.first && again.target->last == t.last);
    return 0;
}
