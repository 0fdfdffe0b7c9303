#pragma once

#include "discovery/ServerRecord.h"

#include <chrono>
#include <string>

// What is known of one server identity: the tracker's state, and a row of
// the book.
struct KnownServer
{
    std::string id;           // ServerIdentity, or ID@address for a second claimant
    ServerRecord fields;      // the latest record heard
    std::chrono::system_clock::time_point firstSeen{};
    std::chrono::system_clock::time_point lastSeen{};
    std::string lastAddress;  // UTF-8 dotted IPv4
    bool answering = false;   // heard within the silent threshold
    bool watched = false;     // the user asked to hear when it goes or comes back
    std::string claimOf;      // for a second claimant: the Korvan ID it shares; else empty

    bool operator==(const KnownServer&) const = default;
};
