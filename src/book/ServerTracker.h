#pragma once

#include "book/KnownServer.h"
#include "book/ServerEvent.h"
#include "discovery/ServerQueue.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TrackerOptions
{
    // No reply for this long: the server is silent.
    std::chrono::seconds silentAfter{60};
    // How long a new address claiming an answering server's Korvan ID waits
    // before it counts as the server having moved. A server answers every
    // half second; if the old address answers again within this window,
    // two servers share the ID.
    std::chrono::seconds claimWindow{3};
};

// What happens to the servers, in memory: sightings in, events out. No I/O,
// no threads, no clock of its own (every call says what time it is), so
// that the window, vindrel-scan --watch and tests run it alike. Not
// thread-safe: one owner calls it.
//
// Identity (ServerIdentity.h) keys the servers. A known identity heard at a
// new address has moved when its old address has gone quiet: at once when
// the old one was last heard more than claimWindow ago, else after
// claimWindow passes without the old address answering again. When the old
// address does answer again in that window, both are real servers sending
// one Korvan ID: the newcomer is kept apart as "<ID>@<address>" (claimOf
// names the ID) with a "conflict" event, and is never merged with the
// holder. Sightings from that address go to the newcomer from then on.
class ServerTracker final
{
public:
    using Clock = std::chrono::system_clock;

    explicit ServerTracker(TrackerOptions options = {});

    // Takes over what a book remembers (ServerBook::Load). A server that was
    // answering when the book was last written stays answering until
    // silentAfter passes from `now` without a reply (then "silent"); one
    // written as silent comes back with "back". Ids tracked already keep
    // their state.
    void Restore(std::vector<KnownServer> known, Clock::time_point now);

    // The events the sightings cause, in order. All of them count as heard
    // at `now`.
    std::vector<ServerEvent> Observe(const std::vector<ServerSighting>& sightings, Clock::time_point now);

    // Time passing: "silent" for servers quiet for silentAfter, "moved" for
    // claims whose window ran out. Cheap when nothing is due; call it about
    // once a second.
    std::vector<ServerEvent> Tick(Clock::time_point now);

    // Every known server, ordered by id.
    std::vector<KnownServer> Known() const;
    std::optional<KnownServer> Find(std::string_view id) const;
    std::size_t Size() const { return m_servers.size(); }

    // False when the id is not known.
    bool Forget(std::string_view id);
    bool SetWatched(std::string_view id, bool watched);
    void SetSilentAfter(std::chrono::seconds silentAfter);

    // The servers whose state changed since the last call (heard, an event,
    // watched): what a book has to write. Each once, in its latest state.
    // Forgotten ones are not among them. Take it after Observe/Tick, not in
    // the same call's arguments (their order is unspecified):
    //   auto events = tracker.Observe(sightings, now);
    //   book.Record(std::move(events), tracker.TakeChanged());
    std::vector<KnownServer> TakeChanged();

private:
    struct Entry
    {
        KnownServer known;
        Clock::time_point quietSince{};  // the silence clock: last heard, or when restored
        std::optional<std::chrono::seconds> upTime;  // known.fields.UpTime, parsed once
        bool changed = false;
        // A new address claiming this identity while the old one may still
        // answer; decided by Tick or by the old address answering.
        std::optional<ServerRecord> claim;
        std::string claimAddress;
        Clock::time_point claimSince{};
        Clock::time_point claimHeard{};
    };

    void Hear(std::vector<ServerEvent>& events, Entry& entry, const ServerRecord& record, const std::string& address,
              Clock::time_point now);
    void Split(std::vector<ServerEvent>& events, Entry& holder, Clock::time_point now);
    void Emit(std::vector<ServerEvent>& events, ServerEvent::Kind kind, const Entry& entry, std::string from,
              std::string to, Clock::time_point now);
    void MarkChanged(Entry& entry);

    TrackerOptions m_options;
    std::map<std::string, Entry, std::less<>> m_servers;
    std::vector<std::string> m_changed;  // ids with changed set, in order of change
    std::size_t m_claimants = 0;          // entries with claimOf set
};
