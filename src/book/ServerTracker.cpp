#include "book/ServerTracker.h"

ServerTracker::ServerTracker(TrackerOptions options) : m_options(options) {}

void ServerTracker::Restore(std::vector<KnownServer>, Clock::time_point) {}

std::vector<ServerEvent> ServerTracker::Observe(const std::vector<ServerSighting>&, Clock::time_point)
{
    return {};
}

std::vector<ServerEvent> ServerTracker::Tick(Clock::time_point) { return {}; }

std::vector<KnownServer> ServerTracker::Known() const { return {}; }

std::optional<KnownServer> ServerTracker::Find(std::string_view) const { return std::nullopt; }

bool ServerTracker::Forget(std::string_view) { return false; }

bool ServerTracker::SetWatched(std::string_view, bool) { return false; }

void ServerTracker::SetSilentAfter(std::chrono::seconds silentAfter) { m_options.silentAfter = silentAfter; }

std::vector<KnownServer> ServerTracker::TakeChanged() { return {}; }
