// libFuzzer target for the reader of `firewall-cmd --list-all-zones`, with
// services that open the reply port, a range around it, another protocol, a
// port without protocol, or nothing. Aborts when a judgement differs on a
// second reading, names no place for a dropped port (or one for an accepted
// port, or one that is not a zone), or when a port every zone in use lets in
// is not let in on eth0 (which belongs to one of them).

#include "FuzzRules.h"

#include <cstdint>
#include <string_view>

namespace {

std::vector<std::string> ServicePorts(std::string_view service)
{
    if (service == "vindrel")
        return {"6000/udp"};
    if (service == "wide")
        return {"5000-7000/udp", "22/tcp"};
    if (service == "tcp")
        return {"6000/tcp"};
    if (service == "odd")
        return {"6000"};
    return {};
}

void CheckPlaces(const RulesVerdict& v)
{
    fuzz::CheckShape(v);
    for (const std::string& place : v.places)
        FUZZ_CHECK(place.starts_with("zone ") || place.starts_with("default zone "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ServicePortLookup lookup = ServicePorts;
    ReplyPacket any;
    ReplyPacket eth0;
    eth0.interface = "eth0";

    const RulesVerdict v = EvaluateFirewalldZones(text, "", any, lookup);
    CheckPlaces(v);
    FUZZ_CHECK(fuzz::Same(v, EvaluateFirewalldZones(text, "", any, lookup)));
    const RulesVerdict onEth0 = EvaluateFirewalldZones(text, "", eth0, lookup);
    CheckPlaces(onEth0);
    if (v.verdict == PortVerdict::kAccepted && onEth0.filtersInput)
        FUZZ_CHECK(onEth0.verdict == PortVerdict::kAccepted);

    // Older firewalld names the default zone apart.
    CheckPlaces(EvaluateFirewalldZones(text, "public", any, lookup));
    return 0;
}
