#include "diagnosis/firewall/FirewallRules.h"

#include "diagnosis/firewall/RuleMatching.h"

#include <algorithm>
#include <map>
#include <optional>

using namespace rules;

// ufw status verbose, ufw.conf and /etc/default/ufw.

RulesVerdict EvaluateUfwStatus(std::string_view status, const ReplyPacket& packet)
{
    RulesVerdict result;
    const std::vector<std::string> lines = SplitList(status, '\n');
    bool active = false, rules = false;
    unsigned atEnd = 0;
    std::vector<Step> steps;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line == "Status: active")
            active = true;
        else if (line.starts_with("Default:")) {
            // "Default: deny (incoming), allow (outgoing), disabled (routed)"
            const auto incoming = line.find("(incoming)");
            if (incoming != std::string::npos) {
                const std::vector<std::string> w = Words(line.substr(8, incoming - 8));
                const std::string policy = w.empty() ? "" : w.back();
                atEnd = policy == "allow" ? kAccept : kDrop;
            }
        } else if (line.starts_with("--")) {
            rules = true;
        } else if (rules && !line.empty()) {
            // To, Action (ALLOW IN, DENY IN, REJECT IN, LIMIT IN), From.
            static const char* const kActions[] = {"ALLOW", "DENY", "REJECT", "LIMIT"};
            std::size_t at = std::string::npos;
            std::string action;
            for (const char* a : kActions) {
                const std::string needle = std::string(" ") + a;
                const auto p = line.find(needle);
                if (p != std::string::npos && (at == std::string::npos || p < at)) {
                    at = p;
                    action = a;
                }
            }
            if (at == std::string::npos)
                continue;
            const std::string to = Trim(line.substr(0, at));
            std::string rest = Trim(line.substr(at + 1 + action.size()));
            std::string direction = "IN";
            if (rest.starts_with("IN ") || rest.starts_with("OUT ") || rest.starts_with("FWD ")) {
                direction = rest.substr(0, rest.find(' '));
                rest = Trim(rest.substr(direction.size()));
            }
            if (direction != "IN" || to.find("(v6)") != std::string::npos)
                continue;
            const std::string from = rest;
            Step step;
            step.outcomes = action == "ALLOW" || action == "LIMIT" ? kAccept : kDrop;
            std::vector<std::string> w = Words(to);
            Tri m = Tri::kTrue;
            // "... on eth0": the rule's interface.
            const auto on = std::find(w.begin(), w.end(), "on");
            if (on != w.end() && on + 1 != w.end()) {
                m = InterfaceMatches(*(on + 1), packet.interface);
                w.erase(on, w.end());
            }
            // An app name in parentheses after the ports (verbose output).
            while (!w.empty() && w.back().starts_with("("))
                w.pop_back();
            std::string portSpec;
            for (const std::string& word : w) {
                if (word == "Anywhere")
                    continue;
                if (word.find_first_not_of("0123456789:,/abcdefghijklmnopqrstuvwxyz") == std::string::npos &&
                    (word.find('/') != std::string::npos ||
                     (word[0] >= '0' && word[0] <= '9' && word.find('.') == std::string::npos)))
                    portSpec = word;
                else
                    m = m == Tri::kFalse ? m : Tri::kUnknown;  // a destination address, or an app name
            }
            if (!portSpec.empty() && m != Tri::kFalse) {
                const auto slash = portSpec.find('/');
                const std::string proto = slash == std::string::npos ? "" : portSpec.substr(slash + 1);
                if (!proto.empty() && proto != "udp")
                    m = Tri::kFalse;
                else {
                    const Tri p = AnyOf(SplitList(portSpec.substr(0, slash), ','),
                                        [&](const std::string& v) { return PortMatches(v, packet.port); });
                    m = p == Tri::kFalse ? Tri::kFalse : (p == Tri::kUnknown ? Tri::kUnknown : m);
                }
            }
            if (m != Tri::kFalse && from != "Anywhere")
                m = Tri::kUnknown;  // a source address or port
            step.match = m;
            steps.push_back(step);
        }
    }
    if (!active || atEnd == 0)
        return result;
    result.filtersInput = true;
    const unsigned outcomes = RunSteps(steps, atEnd);
    result.verdict = VerdictOf(outcomes);
    return result;
}

bool UfwEnabled(std::string_view ufwConf)
{
    for (const std::string& raw : SplitList(ufwConf, '\n')) {
        const std::string line = Trim(raw);
        if (line.starts_with("ENABLED=")) {
            std::string value = Lower(line.substr(8));
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            return value == "yes";
        }
    }
    return false;
}

std::string UfwDefaultInputPolicy(std::string_view defaults)
{
    for (const std::string& raw : SplitList(defaults, '\n')) {
        const std::string line = Trim(raw);
        if (line.starts_with("DEFAULT_INPUT_POLICY=")) {
            std::string value = line.substr(21);
            value.erase(std::remove(value.begin(), value.end(), '"'), value.end());
            return Trim(value);
        }
    }
    return {};
}
