#include "watch/MetricsText.h"

#include "base/LocaleText.h"
#include "book/UpTime.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <unordered_set>

namespace {

void AppendNumber(std::string& out, std::uint64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

// Seconds since the epoch with milliseconds; to_chars, because printf would
// write a decimal comma under some locales.
void AppendTimestamp(std::string& out, std::chrono::system_clock::time_point at)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(ms) / 1000.0, std::chars_format::fixed, 3)
            .ptr;
    out.append(buffer, end);
}

void AppendLabel(std::string& out, std::string_view name, std::string_view value, bool first)
{
    if (!first)
        out += ',';
    out += name;
    out += "=\"";
    out += EscapeLabelValue(value);
    out += '"';
}

void AppendFamily(std::string& out, std::string_view name, std::string_view type, std::string_view help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

struct InterfaceCounters
{
    std::uint64_t probesSent = 0;
    std::uint64_t sendErrors = 0;
};

}  // namespace

std::string EscapeLabelValue(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string FormatMetrics(const std::vector<KnownServer>& servers, const EngineStatus& engine)
{
    MetricsCache cache;
    std::unordered_set<std::string_view> seen;
    for (const KnownServer& s : servers)
        if (seen.insert(s.id).second)
            cache.Update(s);
    return cache.Format(engine);
}

void MetricsCache::Update(const KnownServer& server)
{
    auto [it, fresh] = m_servers.try_emplace(server.id);
    Entry& e = it->second;
    if (fresh) {
        e.idLabel = "{id=\"" + EscapeLabelValue(server.id) + "\"}";
    }
    if (fresh || !(e.fields == server.fields) || e.address != server.lastAddress) {
        const ServerRecord& f = server.fields;
        std::string line = "vindrel_server_info{";
        AppendLabel(line, "id", server.id, true);
        AppendLabel(line, "name", ToUtf8(f.Name), false);
        AppendLabel(line, "version", ToUtf8(f.Version), false);
        AppendLabel(line, "device_type", ToUtf8(f.DeviceType), false);
        AppendLabel(line, "serial", ToUtf8(f.Serial), false);
        AppendLabel(line, "mac", ToUtf8(f.Mac), false);
        AppendLabel(line, "address", server.lastAddress, false);
        line += "} 1\n";
        e.infoLine = std::move(line);
        if (fresh || e.fields.UpTime != f.UpTime)
            e.upTime = ParseUpTime(f.UpTime);
        e.fields = f;
        e.address = server.lastAddress;
    }
    e.lastSeen = server.lastSeen;
    e.answering = server.answering;
}

std::string MetricsCache::Format(const EngineStatus& engine) const
{
    std::string out;
    out.reserve(1024 + m_servers.size() * 400);

    AppendFamily(out, "vindrel_server_up", "gauge",
                 "Whether the server answered within the silent threshold (1) or has gone silent (0).");
    for (const auto& [id, e] : m_servers) {
        out += "vindrel_server_up";
        out += e.idLabel;
        out += e.answering ? " 1\n" : " 0\n";
    }
    AppendFamily(out, "vindrel_server_info", "gauge", "The server's latest reply; always 1.");
    for (const auto& [id, e] : m_servers)
        out += e.infoLine;
    AppendFamily(out, "vindrel_server_uptime_seconds", "gauge", "The up time the server last reported.");
    for (const auto& [id, e] : m_servers) {
        if (!e.upTime)
            continue;
        out += "vindrel_server_uptime_seconds";
        out += e.idLabel;
        out += ' ';
        AppendNumber(out, static_cast<std::uint64_t>(std::max<std::int64_t>(0, e.upTime->count())));
        out += '\n';
    }
    AppendFamily(out, "vindrel_server_last_seen_timestamp_seconds", "gauge",
                 "When the server last answered, in seconds since the Unix epoch.");
    for (const auto& [id, e] : m_servers) {
        out += "vindrel_server_last_seen_timestamp_seconds";
        out += e.idLabel;
        out += ' ';
        AppendTimestamp(out, e.lastSeen);
        out += '\n';
    }
    // Several addresses on one interface are one interface to an operator.
    std::map<std::string, InterfaceCounters> byInterface;
    for (const AdapterStatus& a : engine.adapters) {
        InterfaceCounters& c = byInterface[a.name];
        c.probesSent += a.probesSent;
        c.sendErrors += a.sendErrors;
    }
    AppendFamily(out, "vindrel_probes_sent_total", "counter", "Broadcast probes the system accepted, by interface.");
    for (const auto& [name, c] : byInterface) {
        out += "vindrel_probes_sent_total{";
        AppendLabel(out, "interface", name, true);
        out += "} ";
        AppendNumber(out, c.probesSent);
        out += '\n';
    }
    AppendFamily(out, "vindrel_send_errors_total", "counter", "Broadcast probes the system refused, by interface.");
    for (const auto& [name, c] : byInterface) {
        out += "vindrel_send_errors_total{";
        AppendLabel(out, "interface", name, true);
        out += "} ";
        AppendNumber(out, c.sendErrors);
        out += '\n';
    }
    AppendFamily(out, "vindrel_replies_received_total", "counter", "Replies taken in, whatever the interface.");
    out += "vindrel_replies_received_total ";
    AppendNumber(out, engine.repliesReceived);
    out += '\n';
    AppendFamily(out, "vindrel_listener_up", "gauge", "Whether the reply port is bound and replies are taken in.");
    out += engine.listener.state == ListenerStatus::State::kListening ? "vindrel_listener_up 1\n"
                                                                       : "vindrel_listener_up 0\n";
    return out;
}
