#include "book/ServerTracker.h"

#include "base/LocaleText.h"
#include "book/ServerIdentity.h"
#include "book/UpTime.h"

#include <utility>

namespace {

std::string ClaimantKey(std::string_view id, std::string_view address)
{
    std::string key(id);
    key += '@';
    key += address;
    return key;
}

}  // namespace

ServerTracker::ServerTracker(TrackerOptions options) : m_options(options) {}

void ServerTracker::Restore(std::vector<KnownServer> known, Clock::time_point now)
{
    for (KnownServer& k : known) {
        if (m_servers.contains(k.id))
            continue;
        Entry entry;
        entry.upTime = ParseUpTime(k.fields.UpTime);
        entry.quietSince = now;
        if (!k.claimOf.empty())
            ++m_claimants;
        std::string id = k.id;
        entry.known = std::move(k);
        m_servers.emplace(std::move(id), std::move(entry));
    }
}

std::vector<ServerEvent> ServerTracker::Observe(const std::vector<ServerSighting>& sightings, Clock::time_point now)
{
    std::vector<ServerEvent> events;
    for (const ServerSighting& sighting : sightings) {
        const ServerRecord& record = sighting.record;
        const std::string address = ToUtf8(record.IP);
        const std::string id = ServerIdentity(record);
        if (m_claimants != 0) {
            if (auto it = m_servers.find(ClaimantKey(id, address));
                it != m_servers.end() && it->second.known.claimOf == id) {
                Hear(events, it->second, record, address, now);
                continue;
            }
        }
        auto it = m_servers.find(id);
        if (it == m_servers.end()) {
            Entry entry;
            entry.known = {id, record, now, now, address, true, false, {}};
            entry.quietSince = now;
            entry.upTime = ParseUpTime(record.UpTime);
            Entry& added = m_servers.emplace(id, std::move(entry)).first->second;
            Emit(events, ServerEvent::Kind::kFound, added, {}, address, now);
            MarkChanged(added);
            continue;
        }
        Entry& e = it->second;
        if (address == e.known.lastAddress) {
            // The holder answers while another address claims its ID: two
            // servers.
            if (e.claim)
                Split(events, e, now);
            Hear(events, e, record, address, now);
        } else if (e.claim) {
            // The claimant again (or yet another address: the latest wins).
            if (address != e.claimAddress)
                e.claimSince = now;
            e.claim = record;
            e.claimAddress = address;
            e.claimHeard = now;
        } else if (!e.known.answering || now - e.known.lastSeen > m_options.claimWindow) {
            Hear(events, e, record, address, now);
        } else {
            e.claim = record;
            e.claimAddress = address;
            e.claimSince = e.claimHeard = now;
        }
    }
    return events;
}

std::vector<ServerEvent> ServerTracker::Tick(Clock::time_point now)
{
    std::vector<ServerEvent> events;
    for (auto& [id, e] : m_servers) {
        if (e.claim && now - e.claimSince >= m_options.claimWindow) {
            // The old address stayed quiet: the server moved.
            const ServerRecord record = std::move(*e.claim);
            e.claim.reset();
            Hear(events, e, record, e.claimAddress, e.claimHeard);
        }
        if (e.known.answering && now - e.quietSince >= m_options.silentAfter) {
            e.known.answering = false;
            Emit(events, ServerEvent::Kind::kSilent, e, e.known.lastAddress, {}, now);
            MarkChanged(e);
        }
    }
    return events;
}

void ServerTracker::Split(std::vector<ServerEvent>& events, Entry& holder, Clock::time_point now)
{
    const std::string key = ClaimantKey(holder.known.id, holder.claimAddress);
    ServerRecord record = std::move(*holder.claim);
    holder.claim.reset();
    auto [it, added] = m_servers.try_emplace(key);
    Entry& claimant = it->second;
    if (added) {
        claimant.known = {key, record, holder.claimSince, holder.claimHeard, holder.claimAddress, true, false,
                          holder.known.id};
        claimant.quietSince = holder.claimHeard;
        claimant.upTime = ParseUpTime(record.UpTime);
        ++m_claimants;
        Emit(events, ServerEvent::Kind::kConflict, claimant, holder.known.lastAddress, holder.claimAddress, now);
        MarkChanged(claimant);
    } else {
        Hear(events, claimant, record, holder.claimAddress, holder.claimHeard);
    }
}

void ServerTracker::Hear(std::vector<ServerEvent>& events, Entry& e, const ServerRecord& record,
                         const std::string& address, Clock::time_point now)
{
    KnownServer& k = e.known;
    const ServerRecord old = k.fields;
    k.fields = record;  // the events carry the record as heard now
    if (!k.answering) {
        k.answering = true;
        Emit(events, ServerEvent::Kind::kBack, e, {}, address, now);
    }
    if (address != k.lastAddress) {
        std::string from = std::move(k.lastAddress);
        k.lastAddress = address;
        Emit(events, ServerEvent::Kind::kMoved, e, std::move(from), address, now);
    }
    if (record.Name != old.Name)
        Emit(events, ServerEvent::Kind::kRenamed, e, ToUtf8(old.Name), ToUtf8(record.Name), now);
    if (record.Version != old.Version)
        Emit(events, ServerEvent::Kind::kVersion, e, ToUtf8(old.Version), ToUtf8(record.Version), now);
    if (record.UpTime != old.UpTime) {
        const auto upTime = ParseUpTime(record.UpTime);
        if (upTime && e.upTime && *upTime < *e.upTime)
            Emit(events, ServerEvent::Kind::kRebooted, e, ToUtf8(old.UpTime), ToUtf8(record.UpTime), now);
        e.upTime = upTime;
    }
    if (now > k.lastSeen)
        k.lastSeen = now;
    if (now > e.quietSince)
        e.quietSince = now;
    MarkChanged(e);
}

void ServerTracker::Emit(std::vector<ServerEvent>& events, ServerEvent::Kind kind, const Entry& entry,
                         std::string from, std::string to, Clock::time_point now)
{
    events.push_back({kind, entry.known.id, now, std::move(from), std::move(to), entry.known.fields});
}

void ServerTracker::MarkChanged(Entry& entry)
{
    if (!entry.changed) {
        entry.changed = true;
        m_changed.push_back(entry.known.id);
    }
}

std::vector<KnownServer> ServerTracker::Known() const
{
    std::vector<KnownServer> all;
    all.reserve(m_servers.size());
    for (const auto& [id, e] : m_servers)
        all.push_back(e.known);
    return all;
}

std::optional<KnownServer> ServerTracker::Find(std::string_view id) const
{
    const auto it = m_servers.find(id);
    if (it == m_servers.end())
        return std::nullopt;
    return it->second.known;
}

bool ServerTracker::Forget(std::string_view id)
{
    const auto it = m_servers.find(id);
    if (it == m_servers.end())
        return false;
    if (!it->second.known.claimOf.empty())
        --m_claimants;
    m_servers.erase(it);
    return true;
}

bool ServerTracker::SetWatched(std::string_view id, bool watched)
{
    const auto it = m_servers.find(id);
    if (it == m_servers.end())
        return false;
    if (it->second.known.watched != watched) {
        it->second.known.watched = watched;
        MarkChanged(it->second);
    }
    return true;
}

void ServerTracker::SetSilentAfter(std::chrono::seconds silentAfter) { m_options.silentAfter = silentAfter; }

std::vector<KnownServer> ServerTracker::TakeChanged()
{
    std::vector<KnownServer> changed;
    changed.reserve(m_changed.size());
    for (const std::string& id : m_changed) {
        const auto it = m_servers.find(id);
        if (it == m_servers.end() || !it->second.changed)
            continue;
        it->second.changed = false;
        changed.push_back(it->second.known);
    }
    m_changed.clear();
    return changed;
}
