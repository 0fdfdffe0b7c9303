#include "HistoryOutput.h"

#include "ScanOutput.h"
#include "base/LocaleText.h"
#include "book/IsoTime.h"
#include "discovery/ServerFields.h"

#include <map>
#include <nlohmann/json.hpp>
#include <string_view>

namespace {

using Events = std::vector<const ServerEvent*>;

std::map<std::string_view, Events> ByServer(const std::vector<ServerEvent>& events)
{
    std::map<std::string_view, Events> by;
    for (const ServerEvent& e : events)
        by[e.id].push_back(&e);
    return by;
}

const Events& Of(const std::map<std::string_view, Events>& by, const std::string& id)
{
    static const Events kNone;
    const auto it = by.find(id);
    return it == by.end() ? kNone : it->second;
}

// Text read back from the file is UTF-8 as written, but a file is outside
// input: a byte that is not becomes U+FFFD.
std::string Clean(const std::string& utf8) { return ToUtf8(FromUtf8(utf8)); }

std::string Printable(const std::string& utf8) { return PrintableText(FromUtf8(utf8)); }

}  // namespace

std::string FormatHistoryJson(const std::vector<KnownServer>& servers, const std::vector<ServerEvent>& events)
{
    const auto by = ByServer(events);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const KnownServer& k : servers) {
        nlohmann::ordered_json server;
        server["id"] = Clean(k.id);
        server["lastAddress"] = Clean(k.lastAddress);
        server["firstSeen"] = FormatIsoUtc(k.firstSeen);
        server["lastSeen"] = FormatIsoUtc(k.lastSeen);
        server["answering"] = k.answering;
        server["watched"] = k.watched;
        if (!k.claimOf.empty())
            server["claimOf"] = Clean(k.claimOf);
        nlohmann::ordered_json fields = nlohmann::ordered_json::object();
        for (const ServerField& f : kServerFields)
            fields[std::string(f.name)] = ToUtf8(k.fields.*f.member);
        server["fields"] = std::move(fields);
        nlohmann::ordered_json history = nlohmann::ordered_json::array();
        for (const ServerEvent* e : Of(by, k.id))
            history.push_back({{"kind", EventKindName(e->kind)},
                               {"at", FormatIsoUtc(e->at)},
                               {"from", Clean(e->from)},
                               {"to", Clean(e->to)}});
        server["events"] = std::move(history);
        list.push_back(std::move(server));
    }
    nlohmann::ordered_json all;
    all["servers"] = std::move(list);
    return all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string FormatHistoryText(const std::vector<KnownServer>& servers, const std::vector<ServerEvent>& events)
{
    const auto by = ByServer(events);
    std::string out;
    for (const KnownServer& k : servers) {
        if (!out.empty())
            out += "\n";
        // "answering" is as the book was last written: the window may be gone.
        out += Printable(k.id) + "  last seen " + FormatIsoUtc(k.lastSeen) + " at " + Printable(k.lastAddress) +
               ", first seen " + FormatIsoUtc(k.firstSeen) + (k.answering ? "" : ", silent") +
               (k.watched ? ", watched" : "") + "\n";
        if (!k.claimOf.empty())
            out += "  sends the Korvan ID of " + Printable(k.claimOf) + ", which another server holds\n";
        out += "  " + PrintableText(k.fields.Name) + ", version " + PrintableText(k.fields.Version) + ", up " +
               PrintableText(k.fields.UpTime) + "\n";
        for (const ServerEvent* e : Of(by, k.id)) {
            std::string line = "  " + FormatIsoUtc(e->at) + "  " + std::string(EventKindName(e->kind));
            line.resize(std::max<std::size_t>(line.size(), 34), ' ');
            if (!e->from.empty() && !e->to.empty())
                line += Printable(e->from) + " -> " + Printable(e->to);
            else
                line += Printable(e->from.empty() ? e->to : e->from);
            out += line + "\n";
        }
    }
    if (servers.empty())
        out = "The book knows no server yet.\n";
    return out;
}
