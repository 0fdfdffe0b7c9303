#include "diagnosis/firewall/FirewallRules.h"

#include "diagnosis/firewall/RuleMatching.h"

#include <tinyxml2.h>

#include <algorithm>
#include <map>
#include <optional>

using namespace rules;

// firewall-cmd --list-all-zones and firewalld service files.

namespace {

struct Zone
{
    std::string name;
    bool isDefault = false;
    bool active = false;
    std::string target;
    std::vector<std::string> interfaces, services, ports, richRules;
};

std::vector<Zone> ParseZones(std::string_view text)
{
    std::vector<Zone> zones;
    std::string lastKey;
    for (const std::string& raw : SplitList(text, '\n')) {
        if (Trim(raw).empty())
            continue;
        if (raw[0] != ' ' && raw[0] != '\t') {
            Zone zone;
            const auto paren = raw.find(" (");
            zone.name = Trim(raw.substr(0, paren));
            if (paren != std::string::npos) {
                const std::string attributes = raw.substr(paren);
                zone.isDefault = attributes.find("default") != std::string::npos;
                zone.active = attributes.find("active") != std::string::npos;
            }
            zones.push_back(std::move(zone));
            lastKey.clear();
            continue;
        }
        if (zones.empty())
            continue;
        Zone& zone = zones.back();
        if (raw[0] == '\t') {
            if (lastKey == "rich rules")
                zone.richRules.push_back(Trim(raw));
            continue;
        }
        const std::string line = Trim(raw);
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        lastKey = line.substr(0, colon);
        const std::string rest = line.substr(colon + 1);
        if (lastKey == "target")
            zone.target = Trim(rest);
        else if (lastKey == "interfaces")
            zone.interfaces = Words(rest);
        else if (lastKey == "services")
            zone.services = Words(rest);
        else if (lastKey == "ports")
            zone.ports = Words(rest);
    }
    return zones;
}

// "6000/udp", "5000-6010/udp" against the packet.
Tri FirewalldPortMatches(std::string_view entry, std::uint16_t port)
{
    const auto slash = entry.find('/');
    if (slash == std::string_view::npos)
        return Tri::kUnknown;
    if (entry.substr(slash + 1) != "udp")
        return Tri::kFalse;
    return PortMatches(entry.substr(0, slash), port);
}

Tri ServiceMatches(std::string_view service, const ServicePortLookup& lookup, std::uint16_t port)
{
    if (!lookup)
        return Tri::kUnknown;
    return AnyOf(lookup(service), [&](const std::string& entry) { return FirewalldPortMatches(entry, port); });
}

// A rich rule as (match, outcomes); the deny ones go first.
Step RichRuleStep(std::string_view rule, const ServicePortLookup& lookup, std::uint16_t port, bool& deny)
{
    Step step;
    step.outcomes = kNext;
    deny = false;
    const std::vector<std::string> w = Words(rule);
    std::map<std::string, std::string> attributes;  // element.attribute → value
    std::string element = "rule";
    bool sawElement = false;
    for (const std::string& word : w) {
        const auto eq = word.find('=');
        if (eq == std::string::npos) {
            if (word == "accept")
                step.outcomes = kAccept;
            else if (word == "drop" || word == "reject") {
                step.outcomes = kDrop;
                deny = true;
            } else if (word == "not") {
                attributes[element + ".not"] = "1";
            } else {
                element = word;
                if (word == "port" || word == "service" || word == "protocol" || word == "icmp-block" ||
                    word == "icmp-type" || word == "forward-port" || word == "source-port" || word == "masquerade")
                    sawElement = true;
            }
            continue;
        }
        attributes[element + "." + word.substr(0, eq)] = word.substr(eq + 1);
    }
    auto get = [&](const std::string& key) {
        const auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    };
    if (get("rule.family") == "ipv6") {
        step.match = Tri::kFalse;
        return step;
    }
    Tri m = Tri::kTrue;
    if (!get("source.address").empty() || !get("source.ipset").empty() || !get("source.mac").empty() ||
        !get("destination.address").empty())
        m = Tri::kUnknown;
    if (attributes.count("port.port"))
        m = FirewalldPortMatches(get("port.port") + "/" + get("port.protocol"), port) == Tri::kFalse ? Tri::kFalse : m;
    else if (attributes.count("service.name")) {
        const Tri s = ServiceMatches(get("service.name"), lookup, port);
        m = s == Tri::kFalse ? Tri::kFalse : (s == Tri::kUnknown ? Tri::kUnknown : m);
    } else if (attributes.count("protocol.value"))
        m = get("protocol.value") == "udp" ? m : Tri::kFalse;
    else if (sawElement)
        m = Tri::kFalse;  // ICMP, forwarding, masquerading, source ports: not this packet
    step.match = m;
    return step;
}

unsigned EvaluateZone(const Zone& zone, const ServicePortLookup& lookup, std::uint16_t port)
{
    std::vector<Step> denies, allows;
    for (const std::string& rule : zone.richRules) {
        bool deny = false;
        const Step step = RichRuleStep(rule, lookup, port, deny);
        (deny ? denies : allows).push_back(step);
    }
    for (const std::string& entry : zone.ports)
        allows.push_back({FirewalldPortMatches(entry, port), kAccept});
    for (const std::string& service : zone.services)
        allows.push_back({ServiceMatches(service, lookup, port), kAccept});
    std::vector<Step> steps = denies;
    steps.insert(steps.end(), allows.begin(), allows.end());
    const unsigned atEnd = zone.target == "ACCEPT" ? kAccept : kDrop;  // default, DROP, %%REJECT%%
    return RunSteps(steps, atEnd);
}

}  // namespace

RulesVerdict EvaluateFirewalldZones(std::string_view listAllZones, std::string_view defaultZone,
                                    const ReplyPacket& packet, const ServicePortLookup& servicePorts)
{
    RulesVerdict result;
    const std::vector<Zone> zones = ParseZones(listAllZones);
    std::string fallback(defaultZone);
    if (fallback.empty())
        for (const Zone& z : zones)
            if (z.isDefault)
                fallback = z.name;
    std::vector<const Zone*> judged;
    if (!packet.interface.empty()) {
        const Zone* chosen = nullptr;
        for (const Zone& z : zones)
            if (std::find(z.interfaces.begin(), z.interfaces.end(), packet.interface) != z.interfaces.end())
                chosen = &z;
        for (const Zone& z : zones)
            if (!chosen && z.name == fallback)
                chosen = &z;
        if (chosen)
            judged.push_back(chosen);
    } else {
        for (const Zone& z : zones)
            if (z.name == fallback || !z.interfaces.empty())
                judged.push_back(&z);
    }
    if (judged.empty())
        return result;
    result.filtersInput = true;
    bool anyDrop = false, allAccept = true;
    for (const Zone* z : judged) {
        const unsigned outcomes = EvaluateZone(*z, servicePorts, packet.port);
        if (outcomes == kDrop)
            anyDrop = true;
        if (outcomes != kAccept)
            allAccept = false;
        if (outcomes & kDrop)
            result.places.push_back((z->name == fallback ? "default zone " : "zone ") + z->name);
    }
    result.verdict = anyDrop ? PortVerdict::kDropped : allAccept ? PortVerdict::kAccepted : PortVerdict::kUnknown;
    return result;
}

FirewalldService ParseFirewalldService(std::string_view xml)
{
    // A real XML parser: comments, entities and either quote are the
    // parser's business, and a file that is not XML opens nothing.
    FirewalldService service;
    tinyxml2::XMLDocument document;
    if (xml.empty() || document.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS)
        return service;
    const tinyxml2::XMLElement* root = document.RootElement();
    if (!root || std::string_view(root->Name()) != "service")
        return service;
    auto attribute = [](const tinyxml2::XMLElement* e, const char* name) {
        const char* value = e->Attribute(name);
        return value ? std::string(value) : std::string();
    };
    for (const auto* e = root->FirstChildElement("port"); e; e = e->NextSiblingElement("port")) {
        const std::string port = attribute(e, "port"), protocol = attribute(e, "protocol");
        // "<port>/<protocol>" is split at its slash: neither half may hold one.
        if (!port.empty() && !protocol.empty() && port.find('/') == std::string::npos &&
            protocol.find('/') == std::string::npos)
            service.ports.push_back(port + "/" + protocol);
    }
    for (const auto* e = root->FirstChildElement("include"); e; e = e->NextSiblingElement("include")) {
        const std::string name = attribute(e, "service");
        if (!name.empty())
            service.includes.push_back(name);
    }
    return service;
}
