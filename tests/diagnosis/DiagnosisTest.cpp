#include "diagnosis/Diagnosis.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

namespace {

using namespace std::chrono_literals;

AdapterStatus Adapter(const char* name, const char* address, std::uint64_t sent, std::uint64_t replies,
                      std::uint64_t errors = 0, int lastError = 0)
{
    AdapterStatus a;
    a.name = name;
    a.address = address;
    a.prefixLength = 24;
    a.probesSent = sent;
    a.repliesReceived = replies;
    a.sendErrors = errors;
    a.lastSendError = lastError;
    return a;
}

// A search of three seconds through one wired adapter, listening, firewall
// not checked: each case changes what it is about.
DiagnosisInput Base()
{
    DiagnosisInput in;
    in.engine.listener.state = ListenerStatus::State::kListening;
    in.engine.adapters = {Adapter("eth0", "192.168.1.5", 6, 0)};
    in.adapterKinds = {{"eth0", AdapterKind::kEthernet}};
    in.searchDuration = 3000ms;
    return in;
}

FirewallFinding Firewall(FirewallFrontEnd frontEnd, PortVerdict verdict, FirewallEvidence evidence,
                         bool defaultDeny = false, std::string command = {})
{
    FirewallFinding f;
    f.frontEnd = frontEnd;
    f.verdict = verdict;
    f.evidence = evidence;
    f.defaultDeny = defaultDeny;
    f.allowCommand = std::move(command);
    return f;
}

const std::string kNftAllow = "sudo nft insert rule inet filter input udp dport 6000 accept";

struct DiagnosisCase
{
    const char* why;
    DiagnosisInput input;
    std::vector<Cause> causes;
};

std::vector<DiagnosisCase> Cases()
{
    std::vector<DiagnosisCase> cases;
    auto add = [&](const char* why, auto change, std::vector<Cause> causes) {
        DiagnosisInput in = Base();
        change(in);
        cases.push_back({why, in, std::move(causes)});
    };
    add("servers answered: nothing to explain",
        [](DiagnosisInput& in) {
            in.engine.adapters[0].repliesReceived = 3;
            in.engine.repliesReceived = 3;
        },
        {});
    add("a firewall that drops comes first, then the other subnet",
        [](DiagnosisInput& in) {
            in.firewall = Firewall(FirewallFrontEnd::kNftables, PortVerdict::kDropped, FirewallEvidence::kLiveRules,
                                   false, kNftAllow);
        },
        {Cause::kFirewallDrops, Cause::kServersElsewhere});
    add("a default-deny firewall whose rules a user cannot read",
        [](DiagnosisInput& in) {
            in.firewall = Firewall(FirewallFrontEnd::kUfw, PortVerdict::kUnknown, FirewallEvidence::kNotPermitted, true,
                                   "sudo ufw allow 6000/udp");
        },
        {Cause::kFirewallMayDrop, Cause::kServersElsewhere});
    add("no firewall: another subnet is left",
        [](DiagnosisInput& in) {
            in.firewall = Firewall(FirewallFrontEnd::kNone, PortVerdict::kAccepted, FirewallEvidence::kLiveRules);
        },
        {Cause::kServersElsewhere});
    add("a firewall that lets the port in is no cause",
        [](DiagnosisInput& in) {
            in.firewall = Firewall(FirewallFrontEnd::kFirewalld, PortVerdict::kAccepted, FirewallEvidence::kLiveRules);
        },
        {Cause::kServersElsewhere});
    add("rules that only root can read are a possible cause",
        [](DiagnosisInput& in) {
            in.firewall = Firewall(FirewallFrontEnd::kUnknown, PortVerdict::kUnknown, FirewallEvidence::kNotPermitted);
        },
        {Cause::kFirewallUnknown, Cause::kServersElsewhere});
    add("a taken port is certain and hides the firewall",
        [](DiagnosisInput& in) {
            in.engine.listener = {ListenerStatus::State::kPortInUse, EADDRINUSE};
            in.portOwner = PortOwnership{{}, {{4242, "python3"}}, false, ""};
            in.firewall = Firewall(FirewallFrontEnd::kNftables, PortVerdict::kDropped, FirewallEvidence::kLiveRules,
                                   false, kNftAllow);
        },
        {Cause::kPortInUse});
    add("a listener that failed otherwise",
        [](DiagnosisInput& in) {
            in.engine.listener = {ListenerStatus::State::kFailed, EACCES};
        },
        {Cause::kListenerFailed});
    add("no IPv4 address at all",
        [](DiagnosisInput& in) {
            in.engine.adapters.clear();
            in.engine.noAddresses = true;
        },
        {Cause::kNoIpv4Network});
    add("only Docker and a VPN",
        [](DiagnosisInput& in) {
            in.engine.adapters = {Adapter("docker0", "172.17.0.1", 6, 0), Adapter("tun0", "10.8.0.2", 6, 0)};
            in.adapterKinds = {{"docker0", AdapterKind::kVirtual}, {"tun0", AdapterKind::kTunnel}};
        },
        {Cause::kOnlyVirtualAdapters, Cause::kServersElsewhere});
    add("a wired port beside Docker is not only virtual",
        [](DiagnosisInput& in) {
            in.engine.adapters.push_back(Adapter("docker0", "172.17.0.1", 6, 0));
            in.adapterKinds["docker0"] = AdapterKind::kVirtual;
        },
        {Cause::kServersElsewhere});
    add("only a link-local address",
        [](DiagnosisInput& in) {
            in.engine.adapters = {Adapter("eth0", "169.254.4.2", 6, 0)};
            in.adapterKinds = {{"eth0", AdapterKind::kLinkLocalOnly}};
        },
        {Cause::kOnlyLinkLocal, Cause::kServersElsewhere});
    add("a refusing adapter is named even when another found servers",
        [](DiagnosisInput& in) {
            in.engine.adapters = {Adapter("eth0", "192.168.1.5", 6, 2),
                                  Adapter("wlan0", "192.168.2.5", 0, 0, 6, ENETUNREACH)};
            in.adapterKinds["wlan0"] = AdapterKind::kWireless;
            in.engine.repliesReceived = 2;
        },
        {Cause::kSendErrors});
    add("no probe went out: no conclusion about subnets",
        [](DiagnosisInput& in) { in.engine.adapters = {Adapter("eth0", "192.168.1.5", 0, 0, 6, EPERM)}; },
        {Cause::kSendErrors});
    add("half a second is too short to say", [](DiagnosisInput& in) { in.searchDuration = 500ms; },
        {Cause::kSearchTooShort, Cause::kServersElsewhere});
    add("listed addresses that did not answer", [](DiagnosisInput& in) { in.engine.unicastProbesSent = 4; },
        {Cause::kTargetsSilent, Cause::kServersElsewhere});
    add("listed addresses without a route are named, servers or not",
        [](DiagnosisInput& in) {
            in.engine.unicastProbesSent = 4;
            in.engine.unicastSendErrors = 6;
            in.engine.lastUnicastSendError = ENETUNREACH;
            in.engine.adapters[0].repliesReceived = 1;
            in.engine.repliesReceived = 1;
        },
        {Cause::kTargetsUnreachable});
    add("listed addresses that could not be probed at all",
        [](DiagnosisInput& in) {
            in.engine.unicastSendErrors = 6;
            in.engine.lastUnicastSendError = ENETUNREACH;
        },
        {Cause::kTargetsUnreachable, Cause::kServersElsewhere});
    add("a stopped search says so first", [](DiagnosisInput& in) { in.engine.paused = true; },
        {Cause::kPaused, Cause::kServersElsewhere});
    return cases;
}

TEST(Diagnose, CausesMostLikelyFirst)
{
    for (const DiagnosisCase& c : Cases()) {
        const Diagnosis d = Diagnose(c.input);
        std::vector<std::string> got, want;
        for (const CauseFinding& f : d.causes)
            got.emplace_back(CauseName(f.cause));
        for (Cause cause : c.causes)
            want.emplace_back(CauseName(cause));
        EXPECT_EQ(got, want) << c.why;
        EXPECT_EQ(d.serversAnswered, c.input.engine.repliesReceived > 0) << c.why;
    }
}

TEST(Diagnose, TheReportNamesEachAdapterTheListenerAndTheCommand)
{
    DiagnosisInput in = Base();
    in.engine.adapters.push_back(Adapter("wlan0", "192.168.2.5", 0, 0, 6, ENETUNREACH));
    in.adapterKinds["wlan0"] = AdapterKind::kWireless;
    FirewallFinding f =
        Firewall(FirewallFrontEnd::kNftables, PortVerdict::kDropped, FirewallEvidence::kLiveRules, false, kNftAllow);
    f.places = {"inet filter input"};
    in.firewall = f;
    in.engine.unicastProbesSent = 2;
    in.engine.unicastSendErrors = 3;
    in.engine.lastUnicastSendError = ENETUNREACH;
    const std::string report = Diagnose(in).report;
    for (const char* line : {
             "Searched for 3.0 s: no server answered.\n",
             "  eth0  192.168.1.5/24  wired  probes sent 6, send errors 0, replies 0\n",
             "  wlan0  192.168.2.5/24  Wi-Fi  probes sent 0, send errors 6 (last: Network is unreachable), replies 0\n",
             "  UDP port 6000: listening\n",
             "  nftables drops UDP port 6000 (inet filter input).\n",
             "  To allow it: sudo nft insert rule inet filter input udp dport 6000 accept\n",
             "  1. The firewall (nftables) drops the servers' replies",
             "  2. Probes could not be sent through wlan0: Network is unreachable.\n",
             "  Probes sent to listed addresses: 2\n",
             "  Probes to listed addresses refused: 3 (last: Network is unreachable)\n",
             "  3. Probes to the listed addresses could not be sent: Network is unreachable. Check that a route "
             "leads there (ip route get ADDRESS).\n",
         })
        EXPECT_NE(report.find(line), std::string::npos) << line << "\nin:\n" << report;
}

TEST(Diagnose, ATakenPortNamesItsHolder)
{
    DiagnosisInput in = Base();
    in.engine.listener = {ListenerStatus::State::kPortInUse, EADDRINUSE};
    in.portOwner = PortOwnership{{}, {{4242, "python3"}}, false, ""};
    const Diagnosis d = Diagnose(in);
    EXPECT_NE(d.report.find("  UDP port 6000: in use by python3 (pid 4242)\n"), std::string::npos) << d.report;
    EXPECT_NE(d.json.find("\"holders\": [{\"pid\": 4242, \"name\": \"python3\"}]"), std::string::npos) << d.json;
}

TEST(Diagnose, TheAdviceToSearchByAddressNamesTheFrontEndsWay)
{
    DiagnosisInput in = Base();
    EXPECT_NE(Diagnose(in).causes.back().text.find("(vindrel-scan --target ADDRESS)"), std::string::npos);
    in.byAddress = "Find by address\u2026";
    EXPECT_NE(Diagnose(in).causes.back().text.find("(Find by address\u2026)"), std::string::npos);
}

TEST(Diagnose, JsonCarriesTheSameFindingsWithStableNames)
{
    DiagnosisInput in = Base();
    in.engine.adapters[0].name = "we\"ird\n";
    in.adapterKinds = {{"we\"ird\n", AdapterKind::kEthernet}};
    in.firewall = Firewall(FirewallFrontEnd::kUfw, PortVerdict::kUnknown, FirewallEvidence::kNotPermitted, true,
                           "sudo ufw allow 6000/udp");
    const std::string json = Diagnose(in).json;
    for (const char* part : {"\"serversAnswered\": false", "\"searchSeconds\": 3.0", "\"name\": \"we\\\"ird\\n\"",
                             "\"kind\": \"ethernet\"", "\"listener\": {\"state\": \"listening\", \"error\": null}",
                             "\"frontEnd\": \"ufw\", \"verdict\": \"unknown\", \"evidence\": \"not-permitted\", "
                             "\"defaultDeny\": true",
                             "\"allowCommand\": \"sudo ufw allow 6000/udp\"", "{\"id\": \"firewall-may-drop\"",
                             "{\"id\": \"servers-elsewhere\""})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\nin:\n" << json;
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            EXPECT_GE(static_cast<unsigned char>(c), 0x20) << "raw control character in a string";
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            --depth;
            EXPECT_GE(depth, 0);
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_FALSE(inString);
}

TEST(Diagnose, EverySentenceComesFromThePhraseTable)
{
    std::set<std::string_view> keys;
    for (const DiagnosisPhrase& p : DiagnosisPhrases()) {
        EXPECT_TRUE(keys.insert(p.key).second) << "duplicate key " << p.key;
        EXPECT_FALSE(p.english.empty()) << p.key;
    }
    // A translation that marks every phrase: nothing of the report escapes it.
    const PhraseLookup mark = [](std::string_view, std::string_view english) {
        return "<" + std::string(english) + ">";
    };
    for (const DiagnosisCase& c : Cases()) {
        const Diagnosis d = Diagnose(c.input, mark);
        for (const CauseFinding& f : d.causes)
            EXPECT_TRUE(f.text.starts_with("<") && f.text.ends_with(">")) << f.text;
        EXPECT_TRUE(d.report.starts_with("<Searched for")) << d.report;
    }
}

}  // namespace
