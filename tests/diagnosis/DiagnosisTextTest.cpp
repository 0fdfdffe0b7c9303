#include "diagnosis/DiagnosisText.h"

#include "diagnosis/Diagnosis.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

namespace {

using namespace std::chrono_literals;

std::string Utf8(std::u8string_view text)
{
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

std::multiset<std::string> Placeholders(std::string_view text)
{
    std::multiset<std::string> names;
    for (std::size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos)
            break;
        names.insert(std::string(text.substr(open, close - open + 1)));
    }
    return names;
}

// Words a person types or looks up: a translation keeps them as they are.
const char* const kKeptAsTheyAre[] = {"UDP",
                                      "IPv4",
                                      "pid",
                                      "root",
                                      "DHCP",
                                      "VPN",
                                      "VLAN",
                                      "ping",
                                      "169.254.x.x",
                                      "Wi-Fi",
                                      "sudo nft list ruleset",
                                      "ip route get ADDRESS"};

TEST(DiagnosisChinese, EveryPhraseHasAChineseTextWithTheSamePlaceholders)
{
    std::set<std::string_view> phraseKeys;
    for (const DiagnosisPhrase& phrase : DiagnosisPhrases()) {
        SCOPED_TRACE(phrase.key);
        phraseKeys.insert(phrase.key);
        const DiagnosisTranslation* row = nullptr;
        for (const DiagnosisTranslation& t : DiagnosisChinese())
            if (t.key == phrase.key)
                row = &t;
        ASSERT_NE(row, nullptr) << "no Chinese for it";
        const std::string chinese = Utf8(row->chinese);
        EXPECT_FALSE(chinese.empty());
        EXPECT_EQ(Placeholders(chinese), Placeholders(phrase.english)) << chinese;
        for (const char* word : kKeptAsTheyAre)
            if (phrase.english.find(word) != std::string_view::npos) {
                EXPECT_NE(chinese.find(word), std::string::npos) << word << " in " << chinese;
            }
    }
    std::set<std::string_view> chineseKeys;
    for (const DiagnosisTranslation& t : DiagnosisChinese()) {
        EXPECT_TRUE(chineseKeys.insert(t.key).second) << "twice: " << t.key;
        EXPECT_TRUE(phraseKeys.count(t.key)) << "no such phrase any more: " << t.key;
    }
}

// A report that a Chinese window shows: a default-deny firewall drops the
// replies and one adapter refuses to send.
DiagnosisInput FirewallAndRefusingAdapter()
{
    DiagnosisInput in;
    in.engine.listener.state = ListenerStatus::State::kListening;
    AdapterStatus wired;
    wired.name = "eth0";
    wired.address = "192.168.1.5";
    wired.prefixLength = 24;
    wired.probesSent = 6;
    AdapterStatus wireless = wired;
    wireless.name = "wlan0";
    wireless.address = "192.168.2.5";
    wireless.probesSent = 0;
    wireless.sendErrors = 6;
    wireless.lastSendError = ENETUNREACH;
    in.engine.adapters = {wired, wireless};
    in.adapterKinds = {{"eth0", AdapterKind::kEthernet}, {"wlan0", AdapterKind::kWireless}};
    FirewallFinding f;
    f.frontEnd = FirewallFrontEnd::kNftables;
    f.verdict = PortVerdict::kDropped;
    f.evidence = FirewallEvidence::kLiveRules;
    f.places = {"inet filter input"};
    f.allowCommand = "sudo nft insert rule inet filter input udp dport 6000 accept";
    in.firewall = f;
    in.searchDuration = 3000ms;
    return in;
}

TEST(DiagnosisTextFor, EnglishStaysEnglishAndEveryOtherLanguageIsChinese)
{
    const DiagnosisInput in = FirewallAndRefusingAdapter();
    EXPECT_EQ(Diagnose(in, DiagnosisTextFor(u"en")).report, Diagnose(in).report);

    for (const std::u16string_view language : {u"zh_cn", u"", u"EN"}) {
        const Diagnosis d = Diagnose(in, DiagnosisTextFor(language));
        for (const char* line : {
                 "\xE5\xB7\xB2\xE6\x90\x9C\xE7\xB4\xA2 3.0 \xE7\xA7\x92",  // "已搜索 3.0 秒"
                 "  eth0  192.168.1.5/24  \xE6\x9C\x89\xE7\xBA\xBF  ",     // "有线"
                 "  nftables \xE4\xB8\xA2\xE5\xBC\x83",                    // "nftables 丢弃"
                 "\xEF\xBC\x9Asudo nft insert rule inet filter input udp dport 6000 accept\n",
             })
            EXPECT_NE(d.report.find(line), std::string::npos) << line << "\nin:\n" << d.report;
        EXPECT_EQ(d.report.find("Searched"), std::string::npos) << d.report;
        EXPECT_EQ(d.report.find("probes sent"), std::string::npos) << d.report;
        ASSERT_EQ(d.causes.size(), 3u);
        EXPECT_EQ(d.causes[0].cause, Cause::kFirewallDrops) << "the causes do not change with the language";
        EXPECT_NE(d.causes[1].text.find("wlan0"), std::string::npos);
    }

    const DiagnosisTextLookup chinese = DiagnosisTextFor(u"zh_cn");
    EXPECT_EQ(chinese("no.such-key", "kept as it was"), "kept as it was") << "a phrase added later, untranslated";
}

}  // namespace
