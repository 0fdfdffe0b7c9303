#include "book/ServerEvent.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<ServerEvent::Kind, std::string_view>, 8> kNames = {{
    {ServerEvent::Kind::kFound, "found"},
    {ServerEvent::Kind::kMoved, "moved"},
    {ServerEvent::Kind::kRenamed, "renamed"},
    {ServerEvent::Kind::kVersion, "version"},
    {ServerEvent::Kind::kRebooted, "rebooted"},
    {ServerEvent::Kind::kSilent, "silent"},
    {ServerEvent::Kind::kBack, "back"},
    {ServerEvent::Kind::kConflict, "conflict"},
}};

}  // namespace

std::string_view EventKindName(ServerEvent::Kind kind)
{
    for (const auto& [k, name] : kNames)
        if (k == kind)
            return name;
    return "unknown";
}

std::optional<ServerEvent::Kind> EventKindFromName(std::string_view name)
{
    for (const auto& [k, text] : kNames)
        if (text == name)
            return k;
    return std::nullopt;
}
