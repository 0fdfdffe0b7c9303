#pragma once

#include "diagnosis/AdapterKind.h"
#include "diagnosis/PortOwner.h"
#include "diagnosis/firewall/FirewallCheck.h"
#include "discovery/EngineStatus.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Why a search found nothing, for people and for machines. A pure function
// of what the parts found: the engine's status snapshot
// (discovery/EngineStatus.h), the adapters' kinds (AdapterKind.h), the port's
// holder (PortOwner.h), the firewall finding (FirewallCheck.h) and how long
// the search ran. Callers: vindrel-scan's diagnosis output and the window's
// "why is the list empty" report; both gather the inputs off the GUI thread
// (FirewallCheck may take up to 2 s) and call Diagnose anywhere.
//
// Every sentence comes from one table (DiagnosisPhrases) so that a front end
// can translate the report: pass a lookup that returns the translation of a
// phrase's English text, with its {placeholders} kept.

struct DiagnosisInput
{
    EngineStatus engine;
    std::map<std::string, AdapterKind> adapterKinds;  // by interface name; missing: unknown
    std::optional<PortOwnership> portOwner;           // looked up when the port was taken
    std::optional<FirewallFinding> firewall;          // nullopt: not checked
    std::chrono::milliseconds searchDuration{0};
    std::uint16_t port = 6000;
    // How this front end searches by address, for the advice to do so: a
    // command line, or the window's menu item.
    std::string byAddress = "vindrel-scan --target ADDRESS";
};

// The likely causes, most likely first.
enum class Cause {
    kPaused,               // the search is stopped
    kPortInUse,            // another program holds the reply port
    kListenerFailed,       // the reply port could not be opened for another reason
    kNoIpv4Network,        // no IPv4 address is up
    kFirewallDrops,        // the firewall's rules drop the replies
    kFirewallMayDrop,      // it drops by default; its exceptions could not be read
    kOnlyLinkLocal,        // every adapter has a 169.254 address only
    kOnlyVirtualAdapters,  // probes went out only through virtual, VPN or loopback adapters
    kSendErrors,           // an adapter refused probes (one cause per adapter)
    kTargetsUnreachable,   // the system refused probes to listed addresses (no route, ...)
    kSearchTooShort,       // too brief to conclude
    kFirewallUnknown,      // rules may exist but could not be read
    kTargetsSilent,        // probes to listed addresses got no answer either
    kServersElsewhere,     // probes went out, nothing answered: another subnet, VLAN or VPN
};

// Stable identifiers for JSON: "paused", "port-in-use", "listener-failed",
// "no-ipv4-network", "firewall-drops", "firewall-may-drop", "only-link-local",
// "only-virtual-adapters", "send-errors", "targets-unreachable", "search-too-short",
// "firewall-unknown", "targets-silent", "servers-elsewhere".
std::string_view CauseName(Cause cause);

struct CauseFinding
{
    Cause cause;
    std::string adapter;  // for kSendErrors: which one
    std::string text;     // the sentence for people
};

struct Diagnosis
{
    bool serversAnswered = false;
    std::vector<CauseFinding> causes;  // most likely first; may be empty when servers answered
    std::string report;                // plain text for people, LF line ends, ends with LF
    std::string json;                  // one JSON object, ends with LF
};

// The table of every sentence and word of the report.
struct DiagnosisPhrase
{
    std::string_view key;      // stable name, e.g. "cause.firewall-drops"
    std::string_view english;  // with {placeholders}
};
std::span<const DiagnosisPhrase> DiagnosisPhrases();

// Given a phrase's English text, its translation (placeholders kept); the
// default keeps the English.
using PhraseLookup = std::function<std::string(std::string_view key, std::string_view english)>;

Diagnosis Diagnose(const DiagnosisInput& input, const PhraseLookup& translate = {});
