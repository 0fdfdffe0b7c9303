#include "discovery/FirewallRules.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <map>
#include <netdb.h>
#include <optional>

namespace {

// What a rule, chain or zone may do with the packet: a set of outcomes, so
// that a rule whose match cannot be decided keeps both of its paths.
enum Outcome : unsigned {
    kAccept = 1,
    kDrop = 2,
    kNext = 4,    // on to the next rule
    kReturn = 8,  // leave the chain (its end, or a return)
};

enum class Tri { kFalse, kTrue, kUnknown };

Tri Not(Tri t)
{
    return t == Tri::kTrue ? Tri::kFalse : t == Tri::kFalse ? Tri::kTrue : Tri::kUnknown;
}

// A match that holds for any of `values`: true if one is true, false if all
// are false, unknown otherwise.
template <typename F>
Tri AnyOf(const std::vector<std::string>& values, F test)
{
    Tri result = Tri::kFalse;
    for (const std::string& v : values) {
        const Tri t = test(v);
        if (t == Tri::kTrue)
            return Tri::kTrue;
        if (t == Tri::kUnknown)
            result = Tri::kUnknown;
    }
    return result;
}

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
std::optional<long> PortNumber(std::string_view text)
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
bool NeverOurAddress(std::string_view value)
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

// Runs a list of rules already reduced to (match, outcomes) pairs, as a
// chain does: the outcomes that can happen, Next resolved by what follows.
struct Step
{
    Tri match = Tri::kTrue;
    unsigned outcomes = kNext;
};

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

// ---------------------------------------------------------------------------
// nftables

struct Token
{
    enum class Kind { kWord, kQuoted, kOpen, kClose, kComma, kEnd };
    Kind kind;
    std::string text;
};

std::vector<Token> TokenizeNft(std::string_view in)
{
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < in.size()) {
        const char c = in[i];
        if (c == '\\' && i + 1 < in.size() && in[i + 1] == '\n') {
            i += 2;  // a continued line
        } else if (c == '\n' || c == ';') {
            out.push_back({Token::Kind::kEnd, ""});
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            while (i < in.size() && in[i] != '\n')
                ++i;
        } else if (c == '{') {
            out.push_back({Token::Kind::kOpen, "{"});
            ++i;
        } else if (c == '}') {
            out.push_back({Token::Kind::kClose, "}"});
            ++i;
        } else if (c == ',') {
            out.push_back({Token::Kind::kComma, ","});
            ++i;
        } else if (c == '"') {
            std::string text;
            ++i;
            while (i < in.size() && in[i] != '"' && in[i] != '\n') {
                if (in[i] == '\\' && i + 1 < in.size())
                    ++i;
                text.push_back(in[i++]);
            }
            if (i < in.size() && in[i] == '"')
                ++i;
            out.push_back({Token::Kind::kQuoted, text});
        } else {
            std::string text;
            while (i < in.size() && std::string_view(" \t\r\n;{},\"#").find(in[i]) == std::string_view::npos)
                text.push_back(in[i++]);
            out.push_back({Token::Kind::kWord, text});
        }
    }
    return out;
}

struct NftChain
{
    std::string name;
    bool base = false;
    std::string type, hook;
    long priority = 0;
    bool policyDrop = false;
    std::vector<std::vector<Token>> rules;
};

struct NftTable
{
    std::string family, name;
    bool dormant = false;
    std::map<std::string, NftChain> chains;
    std::map<std::string, std::vector<std::string>> sets;  // named set → its elements
};

struct NftRuleset
{
    std::vector<NftTable> tables;
};

class NftParser
{
public:
    explicit NftParser(std::vector<Token> tokens)
        : m_t(std::move(tokens))
    {
    }

    NftRuleset Parse()
    {
        NftRuleset ruleset;
        while (m_i < m_t.size()) {
            if (IsWord("table")) {
                ++m_i;
                NftTable table;
                if (m_i + 1 < m_t.size() && m_t[m_i + 1].kind == Token::Kind::kOpen) {
                    table.family = "ip";
                    table.name = m_t[m_i++].text;
                } else if (m_i + 1 < m_t.size()) {
                    table.family = m_t[m_i++].text;
                    table.name = m_t[m_i++].text;
                }
                if (At(Token::Kind::kOpen)) {
                    ++m_i;
                    ParseTable(table);
                    ruleset.tables.push_back(std::move(table));
                }
            } else if (At(Token::Kind::kOpen)) {
                SkipBlock();
            } else {
                ++m_i;
            }
        }
        return ruleset;
    }

private:
    bool At(Token::Kind kind) const { return m_i < m_t.size() && m_t[m_i].kind == kind; }
    bool IsWord(std::string_view w) const
    {
        return m_i < m_t.size() && m_t[m_i].kind == Token::Kind::kWord && m_t[m_i].text == w;
    }

    // At '{': past its matching '}'.
    void SkipBlock()
    {
        int depth = 0;
        for (; m_i < m_t.size(); ++m_i) {
            if (m_t[m_i].kind == Token::Kind::kOpen)
                ++depth;
            else if (m_t[m_i].kind == Token::Kind::kClose && --depth == 0) {
                ++m_i;
                return;
            }
        }
    }

    void ParseTable(NftTable& table)
    {
        while (m_i < m_t.size() && !At(Token::Kind::kClose)) {
            if (IsWord("chain") && m_i + 2 < m_t.size() && m_t[m_i + 2].kind == Token::Kind::kOpen) {
                NftChain chain;
                chain.name = m_t[m_i + 1].text;
                m_i += 3;
                ParseChain(chain);
                table.chains[chain.name] = std::move(chain);
            } else if (IsWord("set") && m_i + 2 < m_t.size() && m_t[m_i + 2].kind == Token::Kind::kOpen) {
                const std::string name = m_t[m_i + 1].text;
                m_i += 2;
                table.sets[name] = ParseSetElements();
            } else if (IsWord("flags") && m_i + 1 < m_t.size() && m_t[m_i + 1].text == "dormant") {
                table.dormant = true;
                m_i += 2;
            } else if (At(Token::Kind::kOpen)) {
                SkipBlock();  // maps, flowtables, counters, quotas...
            } else {
                ++m_i;
            }
        }
        if (At(Token::Kind::kClose))
            ++m_i;
    }

    // At a set's '{': its "elements = { ... }" values; past the closing '}'.
    std::vector<std::string> ParseSetElements()
    {
        std::vector<std::string> elements;
        const std::size_t start = m_i;
        SkipBlock();
        const std::size_t end = m_i;
        for (std::size_t k = start; k + 2 < end; ++k) {
            if (m_t[k].kind == Token::Kind::kWord && m_t[k].text == "elements" && m_t[k + 1].text == "=" &&
                m_t[k + 2].kind == Token::Kind::kOpen) {
                for (std::size_t j = k + 3; j < end && m_t[j].kind != Token::Kind::kClose; ++j)
                    if (m_t[j].kind == Token::Kind::kWord || m_t[j].kind == Token::Kind::kQuoted)
                        elements.push_back(m_t[j].text);
            }
        }
        return elements;
    }

    static long PriorityValue(const std::vector<Token>& s, std::size_t k)
    {
        static const std::map<std::string, long> kNamed = {{"raw", -300}, {"mangle", -150}, {"dstnat", -100},
                                                           {"filter", 0}, {"security", 50}, {"srcnat", 100}};
        long value = 0;
        if (k < s.size()) {
            if (const auto it = kNamed.find(s[k].text); it != kNamed.end())
                value = it->second;
            else if (const auto n = Number(s[k].text))
                value = *n;
        }
        if (k + 2 < s.size() && (s[k + 1].text == "+" || s[k + 1].text == "-"))
            if (const auto n = Number(s[k + 2].text))
                value += s[k + 1].text == "+" ? *n : -*n;
        return value;
    }

    void ParseChain(NftChain& chain)
    {
        std::vector<Token> statement;
        int depth = 0;
        auto finish = [&] {
            if (statement.empty())
                return;
            if (statement[0].text == "type" && statement[0].kind == Token::Kind::kWord) {
                chain.base = true;
                chain.type = statement.size() > 1 ? statement[1].text : "";
                for (std::size_t k = 2; k + 1 < statement.size(); ++k) {
                    if (statement[k].text == "hook")
                        chain.hook = statement[k + 1].text;
                    else if (statement[k].text == "priority")
                        chain.priority = PriorityValue(statement, k + 1);
                }
            } else if (statement[0].text == "policy" && statement[0].kind == Token::Kind::kWord) {
                chain.policyDrop = statement.size() > 1 && statement[1].text == "drop";
            } else if (!(statement[0].kind == Token::Kind::kWord &&
                         (statement[0].text == "comment" || statement[0].text == "devices"))) {
                chain.rules.push_back(statement);
            }
            statement.clear();
        };
        for (; m_i < m_t.size(); ++m_i) {
            const Token& t = m_t[m_i];
            if (t.kind == Token::Kind::kClose && depth == 0) {
                finish();
                ++m_i;
                return;
            }
            if (t.kind == Token::Kind::kEnd && depth == 0) {
                finish();
                continue;
            }
            if (t.kind == Token::Kind::kEnd)
                continue;  // a set spread over lines
            if (t.kind == Token::Kind::kOpen)
                ++depth;
            else if (t.kind == Token::Kind::kClose)
                --depth;
            statement.push_back(t);
        }
        finish();
    }

    std::vector<Token> m_t;
    std::size_t m_i = 0;
};

// One nft rule against the packet.
class NftEvaluator
{
public:
    NftEvaluator(const NftTable& table, const ReplyPacket& packet)
        : m_table(table)
        , m_packet(packet)
    {
    }

    // A chain's outcomes: Accept, Drop or Return.
    unsigned RunChain(const std::string& name, int depth)
    {
        const auto it = m_table.chains.find(name);
        if (it == m_table.chains.end() || depth > 16)
            return kAccept | kDrop;
        std::vector<Step> steps;
        for (const std::vector<Token>& rule : it->second.rules)
            steps.push_back(EvalRule(rule, depth));
        return RunSteps(steps, kReturn);
    }

private:
    enum class Selector {
        kCtState,
        kCtStatus,
        kIif,
        kL4proto,
        kNfproto,
        kDport,
        kOtherProtocol,  // tcp, icmp, ip6...: never this packet
        kSaddr,
        kDaddr,
        kPkttype,
        kFibDaddrType,
        kFibRouteBack,
        kUndecidable,  // marks, lengths, source ports, hardware addresses...
    };

    static bool IsOperator(std::string_view t)
    {
        return t == "==" || t == "!=" || t == "eq" || t == "ne" || t == "<" || t == ">" || t == "<=" || t == ">=" ||
               t == "lt" || t == "gt" || t == "le" || t == "ge";
    }

    static bool IsVerdictWord(std::string_view t)
    {
        return t == "accept" || t == "drop" || t == "reject" || t == "return" || t == "continue" || t == "jump" ||
               t == "goto" || t == "queue";
    }

    const std::string& Word(const std::vector<Token>& r, std::size_t i) const
    {
        static const std::string kNone;
        return i < r.size() ? r[i].text : kNone;
    }

    // Parses a selector at r[i]; on success sets i past it.
    std::optional<Selector> ParseSelector(const std::vector<Token>& r, std::size_t& i) const
    {
        const std::string& a = Word(r, i);
        const std::string& b = Word(r, i + 1);
        auto take = [&](std::size_t n, Selector s) {
            i += n;
            return std::optional<Selector>(s);
        };
        if (a == "ct")
            return b == "state"    ? take(2, Selector::kCtState)
                   : b == "status" ? take(2, Selector::kCtStatus)
                                   : take(2, Selector::kUndecidable);
        if (a == "iif" || a == "iifname")
            return take(1, Selector::kIif);
        if (a == "oif" || a == "oifname" || a == "mark" || a == "iiftype")
            return take(1, Selector::kUndecidable);
        if (a == "pkttype")
            return take(1, Selector::kPkttype);
        if (a == "meta") {
            if (b == "iif" || b == "iifname")
                return take(2, Selector::kIif);
            if (b == "l4proto")
                return take(2, Selector::kL4proto);
            if (b == "nfproto")
                return take(2, Selector::kNfproto);
            if (b == "pkttype")
                return take(2, Selector::kPkttype);
            return take(2, Selector::kUndecidable);
        }
        if (a == "ip")
            return b == "protocol" ? take(2, Selector::kL4proto)
                   : b == "saddr"  ? take(2, Selector::kSaddr)
                   : b == "daddr"  ? take(2, Selector::kDaddr)
                                   : take(2, Selector::kUndecidable);
        if (a == "udp" || a == "th")
            return b == "dport" ? take(2, Selector::kDport) : take(2, Selector::kUndecidable);
        if (a == "tcp" || a == "sctp" || a == "dccp" || a == "icmp" || a == "icmpv6" || a == "igmp" || a == "esp" ||
            a == "ah" || a == "ip6" || a == "arp" || a == "udplite" || a == "comp" || a == "vlan")
            return take(2, Selector::kOtherProtocol);
        if (a == "ether")
            return take(2, Selector::kUndecidable);
        if (a == "fib") {
            std::size_t k = i + 1;
            bool daddr = false;
            while (k < r.size() && r[k].text != "type" && r[k].text != "oif" && r[k].text != "oifname") {
                daddr = daddr || r[k].text == "daddr";
                ++k;
            }
            if (k >= r.size())
                return std::nullopt;
            const bool type = r[k].text == "type";
            i = k + 1;
            return !type ? Selector::kFibRouteBack : daddr ? Selector::kFibDaddrType : Selector::kUndecidable;
        }
        return std::nullopt;
    }

    // Values at r[i]: a word, a comma list, a { set }, or @named; sets i
    // past them. Empty with `known` false when a named set is not defined.
    std::vector<std::string> ParseValues(const std::vector<Token>& r, std::size_t& i, bool& known) const
    {
        std::vector<std::string> values;
        known = true;
        if (i < r.size() && r[i].kind == Token::Kind::kOpen) {
            int depth = 0;
            for (; i < r.size(); ++i) {
                if (r[i].kind == Token::Kind::kOpen)
                    ++depth;
                else if (r[i].kind == Token::Kind::kClose) {
                    if (--depth == 0) {
                        ++i;
                        break;
                    }
                } else if (r[i].kind != Token::Kind::kComma)
                    values.push_back(r[i].text);
            }
            return values;
        }
        for (;;) {
            if (i >= r.size())
                break;
            const std::string& v = r[i].text;
            if (v.starts_with("@")) {
                const auto it = m_table.sets.find(v.substr(1));
                if (it == m_table.sets.end())
                    known = false;
                else
                    values.insert(values.end(), it->second.begin(), it->second.end());
            } else {
                values.push_back(v);
            }
            ++i;
            if (i < r.size() && r[i].kind == Token::Kind::kComma)
                ++i;
            else
                break;
        }
        return values;
    }

    Tri Match(Selector s, const std::vector<std::string>& values) const
    {
        switch (s) {
        case Selector::kCtState:
            return AnyOf(values, [](const std::string& v) { return v == "new" ? Tri::kTrue : Tri::kFalse; });
        case Selector::kCtStatus: return Tri::kFalse;  // no NAT, not yet seen a reply
        case Selector::kIif:
            return AnyOf(values, [&](const std::string& v) { return InterfaceMatches(v, m_packet.interface); });
        case Selector::kL4proto:
            return AnyOf(values,
                         [](const std::string& v) { return v == "udp" || v == "17" ? Tri::kTrue : Tri::kFalse; });
        case Selector::kNfproto:
            return AnyOf(values, [](const std::string& v) { return v == "ipv4" ? Tri::kTrue : Tri::kFalse; });
        case Selector::kDport:
            return AnyOf(values, [&](const std::string& v) { return PortMatches(v, m_packet.port); });
        case Selector::kOtherProtocol: return Tri::kFalse;
        case Selector::kSaddr: return AnyOf(values, [](const std::string& v) { return SourceMatches(v); });
        case Selector::kDaddr: return AnyOf(values, [](const std::string& v) { return DestinationMatches(v); });
        case Selector::kPkttype:
            return AnyOf(values, [](const std::string& v) { return v == "host" ? Tri::kTrue : Tri::kFalse; });
        case Selector::kFibDaddrType:
            return AnyOf(values, [](const std::string& v) { return v == "local" ? Tri::kTrue : Tri::kFalse; });
        case Selector::kFibRouteBack:
            // A server on a link has a route back: rp_filter rules never hit it.
            return AnyOf(values,
                         [](const std::string& v) { return v == "missing" || v == "0" ? Tri::kFalse : Tri::kUnknown; });
        case Selector::kUndecidable: break;
        }
        return Tri::kUnknown;
    }

    unsigned VerdictAt(const std::vector<Token>& r, std::size_t i, int depth)
    {
        const std::string& v = Word(r, i);
        if (v == "accept")
            return kAccept;
        if (v == "drop" || v == "reject")
            return kDrop;
        if (v == "return")
            return kReturn;
        if (v == "continue")
            return kNext;
        if (v == "queue")
            return kAccept | kDrop;
        if (v == "jump" || v == "goto") {
            unsigned target = RunChain(Word(r, i + 1), depth + 1);
            if (v == "jump" && (target & kReturn))
                target = (target & ~kReturn) | kNext;
            return target;
        }
        return kAccept | kDrop | kNext;
    }

    // A verdict map's outcome for a selector: the entry whose key matches.
    unsigned VerdictMap(const std::vector<Token>& r, std::size_t& i, Selector s, int depth)
    {
        unsigned outcomes = 0;
        bool anyUnknown = false, anyTrue = false;
        if (i >= r.size() || r[i].kind != Token::Kind::kOpen)
            return kAccept | kDrop | kNext;
        ++i;
        while (i < r.size() && r[i].kind != Token::Kind::kClose) {
            std::vector<std::string> key;
            while (i < r.size() && r[i].text != ":" && r[i].kind != Token::Kind::kClose)
                key.push_back(r[i++].text);
            if (i >= r.size() || r[i].text != ":")
                break;
            ++i;
            const unsigned verdict = VerdictAt(r, i, depth);
            i += (Word(r, i) == "jump" || Word(r, i) == "goto") ? 2 : 1;
            if (i < r.size() && r[i].kind == Token::Kind::kComma)
                ++i;
            const Tri m = Match(s, key);
            if (m == Tri::kTrue && !anyTrue) {
                anyTrue = true;
                outcomes = verdict;
            } else if (m == Tri::kUnknown) {
                anyUnknown = true;
                outcomes |= verdict;
            }
        }
        if (i < r.size())
            ++i;
        if (anyTrue)
            return outcomes;
        return anyUnknown ? (outcomes | kNext) : kNext;
    }

    Step EvalRule(const std::vector<Token>& r, int depth)
    {
        Step step;
        std::size_t i = 0;
        while (i < r.size()) {
            const std::string& t = r[i].text;
            if (r[i].kind != Token::Kind::kWord) {
                ++i;
                continue;
            }
            if (t == "counter") {
                ++i;
                while (Word(r, i) == "packets" || Word(r, i) == "bytes")
                    i += 2;
                continue;
            }
            if (t == "comment") {
                i += 2;
                continue;
            }
            if (t == "log") {
                ++i;
                while (Word(r, i) == "prefix" || Word(r, i) == "level" || Word(r, i) == "group" ||
                       Word(r, i) == "snaplen" || Word(r, i) == "queue-threshold" || Word(r, i) == "flags")
                    i += 2;
                continue;
            }
            if (t == "limit" || t == "quota") {
                ++i;
                while (i < r.size() && !IsVerdictWord(r[i].text) && r[i].text != "counter" && r[i].text != "log" &&
                       r[i].text != "comment") {
                    if (r[i].text == "over" || t == "quota")
                        step.match = step.match == Tri::kFalse ? Tri::kFalse : Tri::kUnknown;
                    ++i;
                }
                continue;
            }
            if (t == "notrack") {
                ++i;
                continue;
            }
            if (IsVerdictWord(t)) {
                step.outcomes = VerdictAt(r, i, depth);
                return step;
            }
            const std::optional<Selector> selector = ParseSelector(r, i);
            if (!selector) {
                // Something this reader does not know: the rule may or may not match.
                step.match = Tri::kUnknown;
                for (std::size_t k = i; k < r.size(); ++k)
                    if (IsVerdictWord(r[k].text)) {
                        step.outcomes = VerdictAt(r, k, depth);
                        break;
                    }
                return step;
            }
            if (Word(r, i) == "&" || Word(r, i) == "and") {
                i += 2;  // a masked value: its result is not decided here
                step.match = Tri::kUnknown;
            }
            if (Word(r, i) == "set") {
                ++i;  // a statement (meta mark set 1), not a match
                bool known = true;
                (void)ParseValues(r, i, known);
                continue;
            }
            if (Word(r, i) == "vmap") {
                ++i;
                const unsigned outcomes = VerdictMap(r, i, *selector, depth);
                if (step.match == Tri::kFalse)
                    return step;
                step.outcomes = outcomes;
                return step;
            }
            bool negate = false;
            bool ordered = false;
            if (IsOperator(Word(r, i))) {
                const std::string& op = Word(r, i);
                negate = op == "!=" || op == "ne";
                ordered = !negate && op != "==" && op != "eq";
                ++i;
            }
            bool known = true;
            const std::vector<std::string> values = ParseValues(r, i, known);
            Tri m = !known || ordered ? Tri::kUnknown : Match(*selector, values);
            if (*selector == Selector::kOtherProtocol)
                m = Tri::kFalse;  // whatever the operator: a header this packet does not have
            else if (negate)
                m = Not(m);
            if (m == Tri::kFalse) {
                step.match = Tri::kFalse;
                return step;
            }
            if (m == Tri::kUnknown)
                step.match = Tri::kUnknown;
        }
        return step;
    }

    const NftTable& m_table;
    const ReplyPacket& m_packet;
};

std::string PlaceOf(const NftTable& table, const NftChain& chain)
{
    return table.family + " " + table.name + " " + chain.name;
}

// ---------------------------------------------------------------------------
// iptables-save

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

struct IptChain
{
    std::string policy;  // "ACCEPT", "DROP", "-" for a user chain
    std::vector<std::vector<std::string>> rules;
};

class IptEvaluator
{
public:
    IptEvaluator(const std::map<std::string, IptChain>& chains, const ReplyPacket& packet)
        : m_chains(chains)
        , m_packet(packet)
    {
    }

    unsigned RunChain(const std::string& name, int depth)
    {
        const auto it = m_chains.find(name);
        if (it == m_chains.end() || depth > 16)
            return kAccept | kDrop;
        std::vector<Step> steps;
        for (const auto& rule : it->second.rules)
            steps.push_back(EvalRule(rule, depth));
        return RunSteps(steps, kReturn);
    }

private:
    unsigned Target(const std::string& target, bool isGoto, int depth)
    {
        if (target == "ACCEPT")
            return kAccept;
        if (target == "DROP" || target == "REJECT")
            return kDrop;
        if (target == "RETURN")
            return kReturn;
        if (target == "QUEUE" || target == "NFQUEUE")
            return kAccept | kDrop;
        if (m_chains.count(target)) {
            unsigned outcomes = RunChain(target, depth + 1);
            if (!isGoto && (outcomes & kReturn))
                outcomes = (outcomes & ~kReturn) | kNext;
            return outcomes;
        }
        // LOG, MARK, CT, NFLOG... change nothing about the packet's fate.
        static const char* const kNonTerminal[] = {"LOG",     "NFLOG", "ULOG",  "MARK",     "CONNMARK", "CT",
                                                   "NOTRACK", "AUDIT", "TRACE", "CHECKSUM", "DSCP",     "TOS"};
        for (const char* name : kNonTerminal)
            if (target == name)
                return kNext;
        return kAccept | kDrop | kNext;
    }

    Step EvalRule(const std::vector<std::string>& w, int depth)
    {
        Step step;
        bool negate = false;
        auto combine = [&](Tri m) {
            if (negate)
                m = Not(m);
            negate = false;
            if (m == Tri::kFalse)
                step.match = Tri::kFalse;
            else if (m == Tri::kUnknown && step.match != Tri::kFalse)
                step.match = Tri::kUnknown;
        };
        auto value = [&](std::size_t& i) -> std::string { return i + 1 < w.size() ? w[++i] : std::string(); };
        for (std::size_t i = 0; i < w.size() && step.match != Tri::kFalse; ++i) {
            const std::string& o = w[i];
            if (o == "!") {
                negate = true;
            } else if (o == "-i" || o == "--in-interface") {
                const std::string v = value(i);
                combine(InterfaceMatches(v, m_packet.interface));
            } else if (o == "-p" || o == "--protocol") {
                const std::string v = Lower(value(i));
                combine(v == "udp" || v == "17" || v == "all" || v == "0" ? Tri::kTrue : Tri::kFalse);
            } else if (o == "-s" || o == "--source") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) { return SourceMatches(v); }));
            } else if (o == "-d" || o == "--destination") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) { return DestinationMatches(v); }));
            } else if (o == "-m" || o == "--match") {
                ++i;  // the module's options follow
            } else if (o == "--dport" || o == "--destination-port" || o == "--dports" || o == "--destination-ports" ||
                       o == "--ports") {
                const std::uint16_t port = m_packet.port;
                combine(AnyOf(SplitList(value(i), ','), [&](const std::string& v) { return PortMatches(v, port); }));
            } else if (o == "--ctstate" || o == "--state") {
                combine(AnyOf(SplitList(value(i), ','),
                              [](const std::string& v) { return v == "NEW" ? Tri::kTrue : Tri::kFalse; }));
            } else if (o == "--dst-type") {
                combine(AnyOf(SplitList(value(i), ','), [](const std::string& v) {
                    return v == "LOCAL"                                             ? Tri::kTrue
                           : v == "BROADCAST" || v == "MULTICAST" || v == "ANYCAST" ? Tri::kFalse
                                                                                    : Tri::kUnknown;
                }));
            } else if (o == "--pkt-type") {
                const std::string v = value(i);
                combine(v == "unicast" || v == "host" ? Tri::kTrue : Tri::kFalse);
            } else if (o == "--comment" || o == "--limit" || o == "--limit-burst") {
                (void)value(i);
            } else if (o == "--limit-iface-in" || o == "--limit-iface-out") {
            } else if (o == "-j" || o == "--jump" || o == "-g" || o == "--goto") {
                step.outcomes = Target(value(i), o == "-g" || o == "--goto", depth);
                break;  // the target's own options follow
            } else if (o.starts_with("[")) {
                // packet counters of iptables-save -c
            } else {
                // -o in INPUT, source ports, marks, recent, sets...: not decided here.
                if (i + 1 < w.size() && !w[i + 1].starts_with("-"))
                    ++i;
                combine(Tri::kUnknown);
            }
        }
        return step;
    }

    const std::map<std::string, IptChain>& m_chains;
    const ReplyPacket& m_packet;
};

// ---------------------------------------------------------------------------
// firewalld

struct Zone
{
    std::string name;
    bool isDefault = false;
    bool active = false;
    std::string target;
    std::vector<std::string> interfaces, services, ports, richRules;
};

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
Tri FirewalldPortMatches(std::string_view spec, std::uint16_t port)
{
    const auto slash = spec.find('/');
    if (slash == std::string_view::npos)
        return Tri::kUnknown;
    if (spec.substr(slash + 1) != "udp")
        return Tri::kFalse;
    return PortMatches(spec.substr(0, slash), port);
}

Tri ServiceMatches(std::string_view service, const ServicePortLookup& lookup, std::uint16_t port)
{
    if (!lookup)
        return Tri::kUnknown;
    return AnyOf(lookup(service), [&](const std::string& spec) { return FirewalldPortMatches(spec, port); });
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
    for (const std::string& spec : zone.ports)
        allows.push_back({FirewalldPortMatches(spec, port), kAccept});
    for (const std::string& service : zone.services)
        allows.push_back({ServiceMatches(service, lookup, port), kAccept});
    std::vector<Step> steps = denies;
    steps.insert(steps.end(), allows.begin(), allows.end());
    const unsigned atEnd = zone.target == "ACCEPT" ? kAccept : kDrop;  // default, DROP, %%REJECT%%
    return RunSteps(steps, atEnd);
}

}  // namespace

RulesVerdict EvaluateNftRuleset(std::string_view ruleset, const ReplyPacket& packet)
{
    const NftRuleset parsed = NftParser(TokenizeNft(ruleset)).Parse();
    struct Base
    {
        const NftTable* table;
        const NftChain* chain;
        unsigned outcomes;
    };
    std::vector<Base> bases;
    for (const NftTable& table : parsed.tables) {
        if (table.dormant || (table.family != "ip" && table.family != "inet"))
            continue;
        for (const auto& [name, chain] : table.chains) {
            if (!chain.base || chain.hook != "input" || chain.type != "filter")
                continue;
            NftEvaluator evaluator(table, packet);
            unsigned outcomes = evaluator.RunChain(name, 0);
            if (outcomes & kReturn)
                outcomes = (outcomes & ~kReturn) | (chain.policyDrop ? kDrop : kAccept);
            bases.push_back({&table, &chain, outcomes});
        }
    }
    std::stable_sort(bases.begin(), bases.end(),
                     [](const Base& a, const Base& b) { return a.chain->priority < b.chain->priority; });
    RulesVerdict result;
    result.filtersInput = !bases.empty();
    bool allAccept = true, anyDrop = false;
    for (const Base& b : bases) {
        if (b.outcomes == kDrop)
            anyDrop = true;
        if (b.outcomes != kAccept)
            allAccept = false;
        if (b.outcomes & kDrop)
            result.places.push_back(PlaceOf(*b.table, *b.chain));
    }
    result.verdict = anyDrop ? PortVerdict::kDropped : allAccept ? PortVerdict::kAccepted : PortVerdict::kUnknown;
    return result;
}

std::string NftRulesetOwner(std::string_view ruleset)
{
    const NftRuleset parsed = NftParser(TokenizeNft(ruleset)).Parse();
    bool iptables = ruleset.find("is managed by iptables-nft") != std::string_view::npos;
    for (const NftTable& table : parsed.tables) {
        if (table.name == "firewalld")
            return "firewalld";
        for (const auto& [name, chain] : table.chains) {
            if (name.starts_with("ufw-") || name.starts_with("ufw6-"))
                return "ufw";
            if (table.name == "filter" && (table.family == "ip" || table.family == "ip6") && name == "INPUT")
                iptables = true;
        }
    }
    return iptables ? "iptables" : "nftables";
}

RulesVerdict EvaluateIptablesSave(std::string_view save, const ReplyPacket& packet, std::string_view chain,
                                  std::string_view policyOverride)
{
    std::map<std::string, IptChain> chains;
    bool inFilter = false;
    for (const std::string& raw : SplitList(save, '\n')) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '*') {
            inFilter = line == "*filter";
            continue;
        }
        if (!inFilter)
            continue;
        if (line[0] == ':') {
            const std::vector<std::string> w = Words(line.substr(1));
            if (!w.empty())
                chains[w[0]].policy = w.size() > 1 ? w[1] : "-";
            continue;
        }
        std::vector<std::string> w = SplitShellWords(line);
        if (!w.empty() && w[0].starts_with("["))
            w.erase(w.begin());  // counters of iptables-save -c
        if (w.size() >= 2 && (w[0] == "-A" || w[0] == "--append")) {
            const std::string name = w[1];
            w.erase(w.begin(), w.begin() + 2);
            chains[name].rules.push_back(std::move(w));
        }
    }
    RulesVerdict result;
    const auto it = chains.find(std::string(chain));
    if (it == chains.end())
        return result;
    const std::string policy = policyOverride.empty() ? it->second.policy : std::string(policyOverride);
    const bool policyDrops = policy == "DROP" || policy == "REJECT";
    result.filtersInput = policyDrops || !it->second.rules.empty();
    IptEvaluator evaluator(chains, packet);
    unsigned outcomes = evaluator.RunChain(std::string(chain), 0);
    if (outcomes & kReturn)
        outcomes = (outcomes & ~kReturn) | (policyDrops ? kDrop : kAccept);
    result.verdict = VerdictOf(outcomes);
    if (outcomes & kDrop)
        result.places.push_back(std::string(chain));
    return result;
}

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
    FirewalldService service;
    auto attribute = [](std::string_view element, std::string_view name) {
        const std::string needle = std::string(name) + "=";
        for (std::size_t at = element.find(needle); at != std::string_view::npos; at = element.find(needle, at + 1)) {
            if (at > 0 && element[at - 1] != ' ' && element[at - 1] != '\t' && element[at - 1] != '\n')
                continue;
            const std::size_t open = at + needle.size();
            if (open >= element.size() || (element[open] != '"' && element[open] != '\''))
                return std::string();
            const auto close = element.find(element[open], open + 1);
            if (close == std::string_view::npos)
                return std::string();
            return std::string(element.substr(open + 1, close - open - 1));
        }
        return std::string();
    };
    for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
        const auto end = xml.find('>', at);
        if (end == std::string_view::npos)
            break;
        const std::string_view element = xml.substr(at + 1, end - at - 1);
        if (element.starts_with("port ") || element.starts_with("port\t")) {
            const std::string port = attribute(element, "port"), protocol = attribute(element, "protocol");
            if (!port.empty() && !protocol.empty())
                service.ports.push_back(port + "/" + protocol);
        } else if (element.starts_with("include ")) {
            const std::string name = attribute(element, "service");
            if (!name.empty())
                service.includes.push_back(name);
        }
    }
    return service;
}
