#include "diagnosis/Diagnosis.h"

#include "base/ErrorText.h"
#include "discovery/JsonText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace {

// Every sentence and word of the report, in one place for translators.
constexpr std::array kPhrases = {
    DiagnosisPhrase{"summary.none", "Searched for {seconds} s: no server answered."},
    DiagnosisPhrase{"summary.some", "Searched for {seconds} s: {count} replies arrived."},
    DiagnosisPhrase{"heading.adapters", "Adapters"},
    DiagnosisPhrase{"heading.listener", "Listener"},
    DiagnosisPhrase{"heading.firewall", "Firewall"},
    DiagnosisPhrase{"heading.causes", "Likely causes, most likely first"},
    DiagnosisPhrase{"adapter.line",
                    "{adapter}  {address}/{prefix}  {kind}  probes sent {sent}, send errors {errors}{last}, replies "
                    "{replies}"},
    DiagnosisPhrase{"adapter.last-error", " (last: {error})"},
    DiagnosisPhrase{"adapter.none", "No IPv4 adapter is up."},
    DiagnosisPhrase{"adapter.unicast", "Probes sent to listed addresses: {count}"},
    DiagnosisPhrase{"adapter.unicast-refused", "Probes to listed addresses refused: {count} (last: {error})"},
    DiagnosisPhrase{"kind.ethernet", "wired"},
    DiagnosisPhrase{"kind.wireless", "Wi-Fi"},
    DiagnosisPhrase{"kind.bridge", "bridge"},
    DiagnosisPhrase{"kind.tunnel", "VPN or tunnel"},
    DiagnosisPhrase{"kind.virtual", "virtual network"},
    DiagnosisPhrase{"kind.link-local", "link-local address only"},
    DiagnosisPhrase{"kind.loopback", "loopback"},
    DiagnosisPhrase{"kind.unknown", "unknown kind"},
    DiagnosisPhrase{"listener.not-started", "UDP port {port}: not opened yet"},
    DiagnosisPhrase{"listener.starting", "UDP port {port}: being opened"},
    DiagnosisPhrase{"listener.listening", "UDP port {port}: listening"},
    DiagnosisPhrase{"listener.in-use", "UDP port {port}: in use by {holder}"},
    DiagnosisPhrase{"listener.failed", "UDP port {port}: could not be opened: {error}"},
    DiagnosisPhrase{"holder.process", "{name} (pid {pid})"},
    DiagnosisPhrase{"holder.and", " and "},
    DiagnosisPhrase{"holder.other-user", "a program of another user ({user})"},
    DiagnosisPhrase{"holder.unknown", "another program"},
    DiagnosisPhrase{"firewall.not-checked", "The firewall was not checked."},
    DiagnosisPhrase{"firewall.none", "No firewall filters incoming traffic."},
    DiagnosisPhrase{"firewall.nothing-found", "No firewall was found."},
    DiagnosisPhrase{"firewall.drops", "{frontend} drops UDP port {port}{places}."},
    DiagnosisPhrase{"firewall.accepts", "{frontend} lets UDP port {port} in."},
    DiagnosisPhrase{"firewall.undecided",
                    "{frontend} is active; whether it lets UDP port {port} in depends on what its rules do not say "
                    "(such as the server's address)."},
    DiagnosisPhrase{"firewall.default-deny",
                    "{frontend} is active and drops what no rule allows; its rules could not be read without root."},
    DiagnosisPhrase{"firewall.unreadable", "Firewall rules could only be read as root."},
    DiagnosisPhrase{"firewall.no-answer", "The firewall tools did not answer in time."},
    DiagnosisPhrase{"firewall.from-config",
                    "This was read from its configuration file; the rules in force may differ."},
    DiagnosisPhrase{"firewall.command", "To allow it: {command}"},
    DiagnosisPhrase{"firewall.places", " ({places})"},
    DiagnosisPhrase{"cause.paused", "The search is stopped: press Search to take in replies again."},
    DiagnosisPhrase{"cause.port-in-use",
                    "UDP port {port} is in use by {holder}, so no reply can be received. Close that program, then "
                    "search again."},
    DiagnosisPhrase{"cause.listener-failed",
                    "UDP port {port} could not be opened ({error}), so no reply can be received."},
    DiagnosisPhrase{"cause.no-ipv4-network",
                    "No IPv4 network is connected. Connect a network cable or Wi-Fi, then search again."},
    DiagnosisPhrase{"cause.firewall-drops",
                    "The firewall ({frontend}) drops the servers' replies: they come from each server's own "
                    "address, so the firewall does not see them as answers to the search. Allow them with: "
                    "{command}"},
    DiagnosisPhrase{"cause.firewall-may-drop",
                    "The firewall ({frontend}) drops incoming traffic that no rule allows, and its rules could not "
                    "be read without root: it most likely drops the servers' replies. Allow them with: {command}"},
    DiagnosisPhrase{"cause.only-link-local",
                    "Every adapter has only a link-local address (169.254.x.x): no DHCP server gave it an "
                    "address, and servers with ordinary addresses cannot be reached that way."},
    DiagnosisPhrase{"cause.only-virtual-adapters",
                    "Probes went out only through virtual, VPN or loopback adapters ({adapters}), not through the "
                    "network the servers are on. Connect to that network."},
    DiagnosisPhrase{"cause.send-errors", "Probes could not be sent through {adapter}: {error}."},
    DiagnosisPhrase{"cause.targets-unreachable",
                    "Probes to the listed addresses could not be sent: {error}. Check that a route leads there "
                    "(ip route get ADDRESS)."},
    DiagnosisPhrase{"cause.search-too-short",
                    "The search ran only {seconds} s; servers answer within a second or two. Search a little longer."},
    DiagnosisPhrase{"cause.firewall-unknown",
                    "A firewall may drop the servers' replies; its rules can only be read as root (sudo nft list "
                    "ruleset shows them)."},
    DiagnosisPhrase{"cause.targets-silent",
                    "Probes sent to the listed addresses got no answer either: check the addresses, that the "
                    "servers are on, and that they can be reached (ping)."},
    DiagnosisPhrase{"cause.servers-elsewhere",
                    "Probes went out but no server answered. Servers on another subnet, VLAN or behind a VPN do not "
                    "hear broadcasts: search them by address ({by-address})."},
    DiagnosisPhrase{"cause.none", "Servers answered; nothing stands in the way."},
};

class Text
{
public:
    explicit Text(const PhraseLookup& translate)
        : m_translate(translate)
    {
    }

    using Values = std::initializer_list<std::pair<std::string_view, std::string>>;

    std::string operator()(std::string_view key, Values values = {}) const
    {
        std::string_view english;
        for (const DiagnosisPhrase& p : kPhrases)
            if (p.key == key)
                english = p.english;
        std::string text = m_translate ? m_translate(key, english) : std::string(english);
        std::string out;
        for (std::size_t i = 0; i < text.size();) {
            if (text[i] == '{') {
                const auto close = text.find('}', i);
                if (close != std::string::npos) {
                    const std::string_view name(text.data() + i + 1, close - i - 1);
                    const auto it =
                        std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
                    if (it != values.end()) {
                        out += it->second;
                        i = close + 1;
                        continue;
                    }
                }
            }
            out.push_back(text[i++]);
        }
        return out;
    }

private:
    const PhraseLookup& m_translate;
};

std::string Seconds(std::chrono::milliseconds d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(d.count()) / 1000.0);
    return text;
}

AdapterKind KindOf(const DiagnosisInput& in, const std::string& name)
{
    const auto it = in.adapterKinds.find(name);
    return it == in.adapterKinds.end() ? AdapterKind::kUnknown : it->second;
}

std::string KindText(const Text& t, AdapterKind kind)
{
    return t("kind." + std::string(AdapterKindName(kind)));
}

std::string HolderText(const Text& t, const std::optional<PortOwnership>& owner)
{
    if (!owner)
        return t("holder.unknown");
    if (!owner->holders.empty()) {
        std::string out;
        for (std::size_t i = 0; i < owner->holders.size(); ++i) {
            if (i > 0)
                out += i + 1 == owner->holders.size() ? t("holder.and") : ", ";
            const PortHolder& h = owner->holders[i];
            out += t("holder.process", {{"name", h.name}, {"pid", std::to_string(h.pid)}});
        }
        return out;
    }
    if (owner->otherUser)
        return t("holder.other-user", {{"user", owner->otherUserName}});
    return t("holder.unknown");
}

std::string FrontEndText(FirewallFrontEnd f)
{
    return std::string(FirewallFrontEndName(f));
}

std::string PlacesText(const std::vector<std::string>& places)
{
    std::string out;
    for (std::size_t i = 0; i < places.size(); ++i)
        out += (i ? ", " : "") + places[i];
    return out;
}

std::string_view ListenerStateName(ListenerStatus::State s)
{
    switch (s) {
    case ListenerStatus::State::kNotStarted: return "not-started";
    case ListenerStatus::State::kStarting: return "starting";
    case ListenerStatus::State::kListening: return "listening";
    case ListenerStatus::State::kPortInUse: return "port-in-use";
    case ListenerStatus::State::kFailed: break;
    }
    return "failed";
}

std::string_view VerdictName(PortVerdict v)
{
    return v == PortVerdict::kAccepted ? "accepted" : v == PortVerdict::kDropped ? "dropped" : "unknown";
}

bool IsOffLan(AdapterKind kind)
{
    return kind == AdapterKind::kVirtual || kind == AdapterKind::kTunnel || kind == AdapterKind::kLinkLocalOnly ||
           kind == AdapterKind::kLoopback;
}

std::vector<CauseFinding> FindCauses(const DiagnosisInput& in, const Text& t)
{
    const EngineStatus& e = in.engine;
    const std::string port = std::to_string(in.port);
    std::vector<CauseFinding> causes;
    auto add = [&](Cause c, std::string text, std::string adapter = {}) {
        causes.push_back({c, std::move(adapter), std::move(text)});
    };
    const bool noReplies = e.repliesReceived == 0;
    std::uint64_t probesSent = 0;
    for (const AdapterStatus& a : e.adapters)
        probesSent += a.probesSent;

    if (e.paused && noReplies)
        add(Cause::kPaused, t("cause.paused"));
    // Certain: nothing can arrive at all.
    const bool deaf =
        e.listener.state == ListenerStatus::State::kPortInUse || e.listener.state == ListenerStatus::State::kFailed;
    if (e.listener.state == ListenerStatus::State::kPortInUse)
        add(Cause::kPortInUse, t("cause.port-in-use", {{"port", port}, {"holder", HolderText(t, in.portOwner)}}));
    else if (e.listener.state == ListenerStatus::State::kFailed)
        add(Cause::kListenerFailed,
            t("cause.listener-failed", {{"port", port}, {"error", ErrorText(e.listener.error)}}));
    if (e.noAddresses || e.adapters.empty())
        add(Cause::kNoIpv4Network, t("cause.no-ipv4-network"));

    const FirewallFinding* fw = in.firewall ? &*in.firewall : nullptr;
    if (noReplies && !deaf && fw) {
        const std::string frontEnd = FrontEndText(fw->frontEnd);
        if (fw->verdict == PortVerdict::kDropped)
            add(Cause::kFirewallDrops,
                t("cause.firewall-drops", {{"frontend", frontEnd}, {"command", fw->allowCommand}}));
        else if (fw->verdict == PortVerdict::kUnknown && fw->defaultDeny)
            add(Cause::kFirewallMayDrop,
                t("cause.firewall-may-drop", {{"frontend", frontEnd}, {"command", fw->allowCommand}}));
    }
    if (noReplies && !e.adapters.empty()) {
        bool allLinkLocal = true, allOffLan = true;
        std::vector<std::string> names;
        for (const AdapterStatus& a : e.adapters) {
            const AdapterKind kind = KindOf(in, a.name);
            allLinkLocal = allLinkLocal && kind == AdapterKind::kLinkLocalOnly;
            allOffLan = allOffLan && IsOffLan(kind);
            if (std::find(names.begin(), names.end(), a.name) == names.end())
                names.push_back(a.name);
        }
        if (allLinkLocal)
            add(Cause::kOnlyLinkLocal, t("cause.only-link-local"));
        else if (allOffLan)
            add(Cause::kOnlyVirtualAdapters, t("cause.only-virtual-adapters", {{"adapters", PlacesText(names)}}));
    }
    // A refusing adapter never hides the others: each one is named, servers or not.
    for (const AdapterStatus& a : e.adapters)
        if (a.sendErrors > 0)
            add(Cause::kSendErrors,
                t("cause.send-errors", {{"adapter", a.name}, {"error", ErrorText(a.lastSendError)}}), a.name);
    if (e.unicastSendErrors > 0)
        add(Cause::kTargetsUnreachable, t("cause.targets-unreachable", {{"error", ErrorText(e.lastUnicastSendError)}}));
    if (!noReplies || deaf)
        return causes;
    if (in.searchDuration < std::chrono::milliseconds(1500))
        add(Cause::kSearchTooShort, t("cause.search-too-short", {{"seconds", Seconds(in.searchDuration)}}));
    if (fw && fw->verdict == PortVerdict::kUnknown && !fw->defaultDeny &&
        (fw->evidence == FirewallEvidence::kNotPermitted || fw->evidence == FirewallEvidence::kNoAnswer))
        add(Cause::kFirewallUnknown, t("cause.firewall-unknown"));
    if (e.unicastProbesSent > 0)
        add(Cause::kTargetsSilent, t("cause.targets-silent"));
    if (probesSent > 0)
        add(Cause::kServersElsewhere, t("cause.servers-elsewhere", {{"by-address", in.byAddress}}));
    return causes;
}

std::string FirewallLines(const DiagnosisInput& in, const Text& t)
{
    const std::string port = std::to_string(in.port);
    if (!in.firewall)
        return "  " + t("firewall.not-checked") + "\n";
    const FirewallFinding& f = *in.firewall;
    const std::string frontEnd = FrontEndText(f.frontEnd);
    std::string out;
    if (f.frontEnd == FirewallFrontEnd::kNone)
        out = f.evidence == FirewallEvidence::kNothingFound ? t("firewall.nothing-found") : t("firewall.none");
    else if (f.verdict == PortVerdict::kDropped)
        out = t(
            "firewall.drops",
            {{"frontend", frontEnd},
             {"port", port},
             {"places", f.places.empty() ? std::string() : t("firewall.places", {{"places", PlacesText(f.places)}})}});
    else if (f.verdict == PortVerdict::kAccepted)
        out = t("firewall.accepts", {{"frontend", frontEnd}, {"port", port}});
    else if (f.evidence == FirewallEvidence::kNoAnswer)
        out = t("firewall.no-answer");
    else if (f.defaultDeny)
        out = t("firewall.default-deny", {{"frontend", frontEnd}});
    else if (f.frontEnd == FirewallFrontEnd::kUnknown)
        out = t("firewall.unreadable");
    else
        out = t("firewall.undecided", {{"frontend", frontEnd}, {"port", port}});
    out = "  " + out + "\n";
    if (f.evidence == FirewallEvidence::kConfiguration)
        out += "  " + t("firewall.from-config") + "\n";
    if (!f.allowCommand.empty())
        out += "  " + t("firewall.command", {{"command", f.allowCommand}}) + "\n";
    return out;
}

std::string Report(const DiagnosisInput& in, const Diagnosis& d, const Text& t)
{
    const EngineStatus& e = in.engine;
    const std::string port = std::to_string(in.port);
    std::string out = (d.serversAnswered ? t("summary.some", {{"seconds", Seconds(in.searchDuration)},
                                                              {"count", std::to_string(e.repliesReceived)}})
                                         : t("summary.none", {{"seconds", Seconds(in.searchDuration)}})) +
                      "\n\n";
    out += t("heading.adapters") + "\n";
    if (e.adapters.empty())
        out += "  " + t("adapter.none") + "\n";
    for (const AdapterStatus& a : e.adapters) {
        const std::string last =
            a.sendErrors > 0 ? t("adapter.last-error", {{"error", ErrorText(a.lastSendError)}}) : std::string();
        out += "  " +
               t("adapter.line", {{"adapter", a.name},
                                  {"address", a.address},
                                  {"prefix", std::to_string(a.prefixLength)},
                                  {"kind", KindText(t, KindOf(in, a.name))},
                                  {"sent", std::to_string(a.probesSent)},
                                  {"errors", std::to_string(a.sendErrors)},
                                  {"last", last},
                                  {"replies", std::to_string(a.repliesReceived)}}) +
               "\n";
    }
    if (e.unicastProbesSent > 0)
        out += "  " + t("adapter.unicast", {{"count", std::to_string(e.unicastProbesSent)}}) + "\n";
    if (e.unicastSendErrors > 0)
        out += "  " +
               t("adapter.unicast-refused",
                 {{"count", std::to_string(e.unicastSendErrors)}, {"error", ErrorText(e.lastUnicastSendError)}}) +
               "\n";

    out += "\n" + t("heading.listener") + "\n  ";
    switch (e.listener.state) {
    case ListenerStatus::State::kNotStarted: out += t("listener.not-started", {{"port", port}}); break;
    case ListenerStatus::State::kStarting: out += t("listener.starting", {{"port", port}}); break;
    case ListenerStatus::State::kListening: out += t("listener.listening", {{"port", port}}); break;
    case ListenerStatus::State::kPortInUse:
        out += t("listener.in-use", {{"port", port}, {"holder", HolderText(t, in.portOwner)}});
        break;
    case ListenerStatus::State::kFailed:
        out += t("listener.failed", {{"port", port}, {"error", ErrorText(e.listener.error)}});
        break;
    }
    out += "\n\n" + t("heading.firewall") + "\n" + FirewallLines(in, t);

    out += "\n" + t("heading.causes") + "\n";
    if (d.causes.empty())
        out += "  " + t("cause.none") + "\n";
    for (std::size_t i = 0; i < d.causes.size(); ++i)
        out += "  " + std::to_string(i + 1) + ". " + d.causes[i].text + "\n";
    return out;
}

std::string Json(const DiagnosisInput& in, const Diagnosis& d)
{
    const EngineStatus& e = in.engine;
    auto number = [](auto n) { return std::to_string(n); };
    std::string out = "{\n";
    out += "  \"serversAnswered\": " + std::string(d.serversAnswered ? "true" : "false") + ",\n";
    out += "  \"searchSeconds\": " + Seconds(in.searchDuration) + ",\n";
    out += "  \"port\": " + number(in.port) + ",\n";
    out += "  \"repliesReceived\": " + number(e.repliesReceived) + ",\n";
    out += "  \"unicastProbesSent\": " + number(e.unicastProbesSent) + ",\n";
    out += "  \"unicastSendErrors\": " + number(e.unicastSendErrors) + ",\n";
    out += "  \"lastUnicastSendError\": " +
           (e.unicastSendErrors > 0 ? JsonString(std::string_view(ErrorText(e.lastUnicastSendError)))
                                    : std::string("null")) +
           ",\n";
    out += "  \"paused\": " + std::string(e.paused ? "true" : "false") + ",\n";
    out += "  \"adapters\": [";
    for (std::size_t i = 0; i < e.adapters.size(); ++i) {
        const AdapterStatus& a = e.adapters[i];
        out += std::string(i ? "," : "") + "\n    {\"name\": " + JsonString(std::string_view(a.name)) +
               ", \"address\": " + JsonString(std::string_view(a.address)) +
               ", \"prefixLength\": " + number(a.prefixLength) +
               ", \"kind\": " + JsonString(AdapterKindName(KindOf(in, a.name))) +
               ", \"probesSent\": " + number(a.probesSent) + ", \"sendErrors\": " + number(a.sendErrors) +
               ", \"lastSendError\": " +
               (a.sendErrors > 0 ? JsonString(std::string_view(ErrorText(a.lastSendError))) : std::string("null")) +
               ", \"repliesReceived\": " + number(a.repliesReceived) + "}";
    }
    out += e.adapters.empty() ? "],\n" : "\n  ],\n";

    out += "  \"listener\": {\"state\": " + JsonString(ListenerStateName(e.listener.state)) + ", \"error\": " +
           (e.listener.error ? JsonString(std::string_view(ErrorText(e.listener.error))) : std::string("null"));
    if (e.listener.state == ListenerStatus::State::kPortInUse && in.portOwner) {
        out += ", \"holders\": [";
        for (std::size_t i = 0; i < in.portOwner->holders.size(); ++i)
            out += std::string(i ? ", " : "") + "{\"pid\": " + number(in.portOwner->holders[i].pid) +
                   ", \"name\": " + JsonString(std::string_view(in.portOwner->holders[i].name)) + "}";
        out +=
            "], \"otherUser\": " +
            (in.portOwner->otherUser ? JsonString(std::string_view(in.portOwner->otherUserName)) : std::string("null"));
    }
    out += "},\n";

    out += "  \"firewall\": ";
    if (!in.firewall) {
        out += "null,\n";
    } else {
        const FirewallFinding& f = *in.firewall;
        out += "{\"frontEnd\": " + JsonString(FirewallFrontEndName(f.frontEnd)) +
               ", \"verdict\": " + JsonString(VerdictName(f.verdict)) +
               ", \"evidence\": " + JsonString(FirewallEvidenceName(f.evidence)) +
               ", \"defaultDeny\": " + (f.defaultDeny ? "true" : "false") + ", \"places\": [";
        for (std::size_t i = 0; i < f.places.size(); ++i)
            out += std::string(i ? ", " : "") + JsonString(std::string_view(f.places[i]));
        out += "], \"allowCommand\": " +
               (f.allowCommand.empty() ? std::string("null") : JsonString(std::string_view(f.allowCommand))) + "},\n";
    }

    out += "  \"causes\": [";
    for (std::size_t i = 0; i < d.causes.size(); ++i) {
        const CauseFinding& c = d.causes[i];
        out += std::string(i ? "," : "") + "\n    {\"id\": " + JsonString(CauseName(c.cause));
        if (!c.adapter.empty())
            out += ", \"adapter\": " + JsonString(std::string_view(c.adapter));
        out += ", \"text\": " + JsonString(std::string_view(c.text)) + "}";
    }
    out += d.causes.empty() ? "]\n" : "\n  ]\n";
    return out + "}\n";
}

}  // namespace

std::span<const DiagnosisPhrase> DiagnosisPhrases()
{
    return kPhrases;
}

std::string_view CauseName(Cause cause)
{
    switch (cause) {
    case Cause::kPaused: return "paused";
    case Cause::kPortInUse: return "port-in-use";
    case Cause::kListenerFailed: return "listener-failed";
    case Cause::kNoIpv4Network: return "no-ipv4-network";
    case Cause::kFirewallDrops: return "firewall-drops";
    case Cause::kFirewallMayDrop: return "firewall-may-drop";
    case Cause::kOnlyLinkLocal: return "only-link-local";
    case Cause::kOnlyVirtualAdapters: return "only-virtual-adapters";
    case Cause::kSendErrors: return "send-errors";
    case Cause::kTargetsUnreachable: return "targets-unreachable";
    case Cause::kSearchTooShort: return "search-too-short";
    case Cause::kFirewallUnknown: return "firewall-unknown";
    case Cause::kTargetsSilent: return "targets-silent";
    case Cause::kServersElsewhere: break;
    }
    return "servers-elsewhere";
}

Diagnosis Diagnose(const DiagnosisInput& input, const PhraseLookup& translate)
{
    const Text t(translate);
    Diagnosis d;
    d.serversAnswered = input.engine.repliesReceived > 0;
    d.causes = FindCauses(input, t);
    d.report = Report(input, d, t);
    d.json = Json(input, d);
    return d;
}
