// The agent's three outputs: the exposition, the service-discovery list and
// the event lines, as a Prometheus, a jq and a journal read them.

#include "base/LocaleText.h"
#include "watch/ListenAddress.h"
#include "watch/MetricsText.h"
#include "watch/TargetsJson.h"
#include "watch/WatchEventJson.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <clocale>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
const auto kAt = std::chrono::system_clock::time_point(1797007168202ms);  // 2026-12-11T16:39:28.202Z

KnownServer Server(std::string id, std::u16string name = u"nas", std::u16string port = u"80")
{
    KnownServer s;
    s.id = std::move(id);
    s.fields.Name = std::move(name);
    s.fields.IP = u"10.0.0.7";
    s.fields.Port = std::move(port);
    s.fields.Version = u"2.1.4";
    s.fields.UpTime = u"1d 01:01";
    s.lastAddress = "10.0.0.7";
    s.lastSeen = kAt;
    s.answering = true;
    return s;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

struct EscapeCase
{
    const char* why;
    std::string in;
    std::string out;
};

TEST(Metrics, LabelValuesEscapeWhatTheFormatReserves)
{
    const EscapeCase cases[] = {
        {"plain text stays", "KORVAN-0001", "KORVAN-0001"},
        {"a quote would end the value", "a\"b", "a\\\"b"},
        {"a backslash would start an escape", "C:\\nas", "C:\\\\nas"},
        {"a line feed would end the sample", "two\nlines", "two\\nlines"},
        {"a carriage return and a tab are allowed as they are", "a\rb\tc", "a\rb\tc"},
        {"UTF-8 stays", "\xE5\xAD\x98\xE5\x82\xA8", "\xE5\xAD\x98\xE5\x82\xA8"},
        {"an injected sample stays inside the value", "x\"} 1\nvindrel_server_up{id=\"y", "x\\\"} 1\\nvindrel_server_up{id=\\\"y"},
    };
    for (const EscapeCase& c : cases)
        EXPECT_EQ(EscapeLabelValue(c.in), c.out) << c.why;
}

TEST(Metrics, EveryFamilyOnceKeyedByIdentityAndSilentServersAtZero)
{
    std::vector<KnownServer> servers = {Server("KV-2", u"b\"ad\nname"), Server("KV-1")};
    servers[0].answering = false;
    servers[0].fields.UpTime = u"no idea";
    EngineStatus engine;
    engine.listener.state = ListenerStatus::State::kListening;
    engine.repliesReceived = 12345678901;
    engine.adapters = {{"eth0", "10.0.0.1", 24, 2, 10, 1, 0, 5}, {"eth0", "10.0.1.1", 24, 2, 5, 0, 0, 0},
                       {"eth1", "10.2.0.1", 24, 3, 7, 0, 0, 0}};
    const std::string text = FormatMetrics(servers, engine);

    for (const char* family : {"vindrel_server_up", "vindrel_server_info", "vindrel_server_uptime_seconds",
                               "vindrel_server_last_seen_timestamp_seconds", "vindrel_probes_sent_total",
                               "vindrel_send_errors_total", "vindrel_replies_received_total", "vindrel_listener_up"}) {
        EXPECT_EQ(Count(text, std::string("# TYPE ") + family + " "), 1u) << family;
        EXPECT_EQ(Count(text, std::string("# HELP ") + family + " "), 1u) << family;
    }
    EXPECT_NE(text.find("vindrel_server_up{id=\"KV-1\"} 1\nvindrel_server_up{id=\"KV-2\"} 0\n"), std::string::npos)
        << "sorted by identity, silent at 0:\n" << text;
    EXPECT_NE(text.find("name=\"b\\\"ad\\nname\""), std::string::npos) << text;
    EXPECT_EQ(Count(text, "address=\""), 2u) << "the address only in _info";
    EXPECT_EQ(Count(text, "vindrel_server_uptime_seconds{"), 1u) << "an up time that does not read is left out";
    EXPECT_NE(text.find("vindrel_server_uptime_seconds{id=\"KV-1\"} 90060\n"), std::string::npos) << text;
    EXPECT_NE(text.find("vindrel_server_last_seen_timestamp_seconds{id=\"KV-1\"} 1797007168.202\n"), std::string::npos);
    EXPECT_NE(text.find("vindrel_probes_sent_total{interface=\"eth0\"} 15\n"), std::string::npos)
        << "two addresses of one interface add up";
    EXPECT_NE(text.find("vindrel_send_errors_total{interface=\"eth1\"} 0\n"), std::string::npos);
    EXPECT_NE(text.find("vindrel_replies_received_total 12345678901\n"), std::string::npos);
    EXPECT_NE(text.find("vindrel_listener_up 1\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(Metrics, ARepeatedIdentityIsOneSeriesAndNoServersIsStillValid)
{
    const std::string twice = FormatMetrics({Server("KV-1"), Server("KV-1", u"other")}, {});
    EXPECT_EQ(Count(twice, "vindrel_server_up{"), 1u);
    EXPECT_EQ(Count(twice, "vindrel_server_info{"), 1u);
    const std::string none = FormatMetrics({}, {});
    EXPECT_NE(none.find("vindrel_listener_up 0\n"), std::string::npos);
    EXPECT_EQ(Count(none, "vindrel_server_up{"), 0u);
}

TEST(MachineOutput, NumbersAndTimesIgnoreTheLocale)
{
    const std::string metricsC = FormatMetrics({Server("KV-1")}, {});
    const std::string eventC = FormatWatchEvent({"found", kAt, "KV-1", "10.0.0.7", "", "10.0.0.7", {}});
    const char* previous = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!previous)
        GTEST_SKIP() << "no de_DE.UTF-8 locale (scripts/setup.sh makes it)";
    const std::string metricsDe = FormatMetrics({Server("KV-1")}, {});
    const std::string eventDe = FormatWatchEvent({"found", kAt, "KV-1", "10.0.0.7", "", "10.0.0.7", {}});
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(metricsDe, metricsC);
    EXPECT_EQ(eventDe, eventC);
    EXPECT_NE(metricsDe.find("1797007168.202"), std::string::npos);
}

struct TargetCase
{
    const char* why;
    std::u16string port;
    std::string target;
};

TEST(Targets, OneGroupPerServerWithItsPageAndLabels)
{
    const TargetCase cases[] = {
        {"the reply's port", u"8080", "10.0.0.7:8080"},
        {"a blank port leaves Prometheus its default", u"", "10.0.0.7"},
        {"a port that is not a number", u"80a", "10.0.0.7"},
        {"a port out of range", u"70000", "10.0.0.7"},
        {"port zero", u"0", "10.0.0.7"},
    };
    for (const TargetCase& c : cases) {
        const auto json = nlohmann::json::parse(FormatTargets({Server("KV-1", u"nas", c.port)}));
        ASSERT_EQ(json.size(), 1u);
        EXPECT_EQ(json[0]["targets"], nlohmann::json::array({c.target})) << c.why;
        EXPECT_EQ(json[0]["labels"], (nlohmann::json{{"id", "KV-1"}, {"name", "nas"}})) << c.why;
    }
    KnownServer silent = Server("KV-0");
    silent.answering = false;
    silent.lastAddress = "10.0.0.9";
    const auto both = nlohmann::json::parse(FormatTargets({Server("KV-1"), silent}));
    ASSERT_EQ(both.size(), 2u) << "silent servers are listed too";
    EXPECT_EQ(both[0]["targets"][0], "10.0.0.9:80") << "sorted by identity, at the last address";
    EXPECT_EQ(nlohmann::json::parse(FormatTargets({})), nlohmann::json::array());
}

TEST(EventLines, OneValidJsonLineInTheDocumentedOrder)
{
    ServerRecord fields;
    fields.Name = FromUtf8("nas\n\"1\"");
    fields.KorvanID = u"KV-1";
    const std::string line =
        FormatWatchEvent({"moved", kAt, "KV-1", "10.0.0.8", "10.0.0.7", "10.0.0.8\xff", fields});
    ASSERT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line whatever the fields hold";
    const auto json = nlohmann::ordered_json::parse(line);
    std::vector<std::string> keys;
    for (const auto& [key, value] : json.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"event", "at", "id", "address", "from", "to", "fields"}));
    EXPECT_EQ(json["at"], "2026-12-11T16:39:28.202Z");
    EXPECT_EQ(json["to"], "10.0.0.8\xEF\xBF\xBD") << "a byte that is not UTF-8 becomes U+FFFD";
    EXPECT_EQ(json["fields"]["Name"], "nas\n\"1\"");
    EXPECT_EQ(json["fields"].size(), 9u);
    EXPECT_EQ(json["fields"].begin().key(), "Name");
}

TEST(EventLines, TimesBeforeTheEpochAndAtWholeSeconds)
{
    EXPECT_EQ(FormatUtcTime(std::chrono::system_clock::time_point(0ms)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(FormatUtcTime(std::chrono::system_clock::time_point(-1ms)), "1969-12-31T23:59:59.999Z");
}

struct AddressCase
{
    const char* text;
    bool valid;
    std::uint16_t port;
    const char* says;
};

TEST(ListenAddresses, AddressAndPortAlwaysBoth)
{
    const AddressCase cases[] = {
        {"127.0.0.1:6070", true, 6070, ""},
        {"0.0.0.0:1", true, 1, ""},
        {"10.0.0.1:65535", true, 65535, ""},
        {"6070", false, 0, "give an address and a port"},
        {":6070", false, 0, "is not an IPv4 address"},
        {"localhost:6070", false, 0, "is not an IPv4 address"},
        {"127.0.0.1:", false, 0, "from 1 to 65535"},
        {"127.0.0.1:0", false, 0, "from 1 to 65535"},
        {"127.0.0.1:65536", false, 0, "from 1 to 65535"},
        {"127.0.0.1:+80", false, 0, "from 1 to 65535"},
        {"127.0.0.1:080a", false, 0, "from 1 to 65535"},
        {"[::1]:6070", false, 0, "is not an IPv4 address"},
    };
    for (const AddressCase& c : cases) {
        const ListenAddressParse parsed = ParseListenAddress(c.text);
        EXPECT_EQ(parsed.value.has_value(), c.valid) << c.text;
        if (parsed.value) {
            EXPECT_EQ(parsed.value->port, c.port) << c.text;
        } else {
            EXPECT_NE(parsed.error.find(c.says), std::string::npos) << c.text << ": " << parsed.error;
        }
    }
}

}  // namespace
