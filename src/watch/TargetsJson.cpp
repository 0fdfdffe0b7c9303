#include "watch/TargetsJson.h"

#include "base/LocaleText.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

namespace {

std::string PageTarget(const KnownServer& server)
{
    const std::string& address = server.lastAddress;
    const std::string port = ToUtf8(server.fields.Port);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return address;
    return address + ':' + std::to_string(value);
}

}  // namespace

std::string FormatTargets(const std::vector<KnownServer>& servers)
{
    std::vector<const KnownServer*> sorted;
    sorted.reserve(servers.size());
    for (const KnownServer& s : servers)
        sorted.push_back(&s);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const KnownServer* a, const KnownServer* b) { return a->id < b->id; });
    nlohmann::ordered_json groups = nlohmann::ordered_json::array();
    for (const KnownServer* s : sorted) {
        nlohmann::ordered_json group;
        group["targets"] = nlohmann::ordered_json::array({PageTarget(*s)});
        group["labels"] = {{"id", s->id}, {"name", ToUtf8(s->fields.Name)}};
        groups.push_back(std::move(group));
    }
    // A byte that is not UTF-8 becomes U+FFFD rather than an exception.
    return groups.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
