#include "diagnosis/firewall/RuleMatching.h"

#include <arpa/inet.h>
#include <charconv>
#include <netdb.h>

namespace rules {
std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

std::optional<long> Number(std::string_view text)
{
    long value = 0;
    if (text.empty())
        return std::nullopt;
    int base = 10;
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A port as nft, iptables, ufw or firewalld may write it: a number, or a
// service name from the system's services database.
static std::optional<long> PortNumber(std::string_view text)
{
    if (auto n = Number(text))
        return n;
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    const std::string name(text);
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(name.c_str(), "udp", &entry, buffer, sizeof buffer, &found) == 0 && found)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    return std::nullopt;
}

// "6000", "5000-7000", "5000:7000" (iptables, ufw) against `port`.
Tri PortMatches(std::string_view value, std::uint16_t port)
{
    const auto dash = value.find_first_of("-:");
    if (dash != std::string_view::npos && dash > 0) {
        const auto low = PortNumber(value.substr(0, dash));
        const auto high = PortNumber(value.substr(dash + 1));
        if (!low || !high)
            return Tri::kUnknown;
        return *low <= port && port <= *high ? Tri::kTrue : Tri::kFalse;
    }
    const auto n = PortNumber(value);
    if (!n)
        return Tri::kUnknown;
    return *n == port ? Tri::kTrue : Tri::kFalse;
}

// Whether an address (or prefix, or range) is multicast or broadcast only:
// a reply to our own unicast address never matches it.
static bool NeverOurAddress(std::string_view value)
{
    std::string_view first = value.substr(0, value.find_first_of("/-"));
    in_addr addr{};
    const std::string text(first);
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1)
        return false;
    const std::uint32_t a = ntohl(addr.s_addr);
    if (a == 0xFFFFFFFFu)
        return true;
    if ((a >> 28) != 0xE)
        return false;
    // 224.0.0.0/4 itself, or a smaller prefix or range inside it.
    const auto slash = value.find('/');
    if (slash != std::string_view::npos) {
        const auto bits = Number(value.substr(slash + 1));
        return bits && *bits >= 4;
    }
    const auto dash = value.find('-');
    if (dash != std::string_view::npos) {
        in_addr high{};
        const std::string last(value.substr(dash + 1));
        return inet_pton(AF_INET, last.c_str(), &high) == 1 && (ntohl(high.s_addr) >> 28) == 0xE;
    }
    return true;
}

Tri DestinationMatches(std::string_view value)
{
    return NeverOurAddress(value) ? Tri::kFalse : Tri::kUnknown;
}

Tri SourceMatches(std::string_view value)
{
    return value == "0.0.0.0/0" ? Tri::kTrue : Tri::kUnknown;
}

// An interface name against a pattern; iptables ends wildcards with '+',
// nft with '*'.
Tri InterfaceMatches(std::string_view pattern, const std::string& interface)
{
    if (interface.empty())
        return pattern == "lo" ? Tri::kFalse : Tri::kUnknown;  // replies never come in on lo
    if (!pattern.empty() && (pattern.back() == '+' || pattern.back() == '*'))
        return interface.starts_with(pattern.substr(0, pattern.size() - 1)) ? Tri::kTrue : Tri::kFalse;
    return pattern == interface ? Tri::kTrue : Tri::kFalse;
}

unsigned RunSteps(const std::vector<Step>& steps, unsigned atEnd)
{
    unsigned result = 0;
    bool reachable = true;  // some path arrives at the current step
    for (const Step& s : steps) {
        if (!reachable)
            break;
        if (s.match == Tri::kFalse)
            continue;
        const unsigned here = s.match == Tri::kTrue ? s.outcomes : (s.outcomes | kNext);
        result |= here & ~kNext;
        reachable = (here & kNext) != 0;
    }
    if (reachable)
        result |= atEnd;
    return result;
}

PortVerdict VerdictOf(unsigned outcomes)
{
    if (outcomes == kAccept)
        return PortVerdict::kAccepted;
    if (outcomes == kDrop)
        return PortVerdict::kDropped;
    return PortVerdict::kUnknown;
}

std::vector<std::string> SplitShellWords(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] == '"') {
                ++i;
                while (i < line.size() && line[i] != '"') {
                    if (line[i] == '\\' && i + 1 < line.size())
                        ++i;
                    word.push_back(line[i++]);
                }
                if (i < line.size())
                    ++i;
            } else {
                word.push_back(line[i++]);
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<std::string> SplitList(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

std::vector<std::string> Words(std::string_view text)
{
    std::vector<std::string> words;
    for (const std::string& w : SplitShellWords(text))
        if (!w.empty())
            words.push_back(w);
    return words;
}

std::string Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

}  // namespace rules
