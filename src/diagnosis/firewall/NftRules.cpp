#include "diagnosis/firewall/FirewallRules.h"

#include "diagnosis/firewall/RuleMatching.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

using namespace rules;

// nft list ruleset and nftables configuration files.

namespace {

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

    // A chain's outcomes: Accept, Drop or Return; each chain runs once.
    unsigned RunChain(const std::string& name, int depth)
    {
        const auto it = m_table.chains.find(name);
        if (it == m_table.chains.end())
            return kAccept | kDrop;
        return m_runs.Once(name, depth, [&] {
            std::vector<Step> steps;
            for (const std::vector<Token>& rule : it->second.rules)
                steps.push_back(EvalRule(rule, depth));
            return RunSteps(steps, kReturn);
        });
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
    ChainRuns m_runs;
};

std::string PlaceOf(const NftTable& table, const NftChain& chain)
{
    return table.family + " " + table.name + " " + chain.name;
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
