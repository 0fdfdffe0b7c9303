#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Who holds a UDP port, so that "the port is in use" can name the program.
// Callers: the engine's front ends when the listener reports the port taken
// (vindrel-scan's one-line error, the window's diagnosis through
// discovery/Diagnosis.h). Reads /proc only; no root needed for the calling
// user's own processes. The socket tables are those of the calling thread's
// network namespace.

// One socket bound to the port, from /proc/net/udp or /proc/net/udp6.
struct UdpSocketEntry
{
    std::string localAddress;  // "0.0.0.0", "10.21.0.1", "::"
    std::uint16_t port = 0;
    unsigned uid = 0;  // the socket's owner
    std::uint64_t inode = 0;
};

struct PortHolder
{
    int pid = 0;
    std::string name;  // /proc/<pid>/comm, e.g. "python3"

    bool operator==(const PortHolder&) const = default;
};

struct PortOwnership
{
    std::vector<UdpSocketEntry> sockets;  // bound to the port; empty: none is
    std::vector<PortHolder> holders;      // processes seen holding one of them, by pid
    // No holder could be seen, and a socket belongs to another user (whose
    // descriptors only root may look into, and not even root when the holder
    // lives in another container). otherUserName is the user's name, or
    // "uid N" when it has none.
    bool otherUser = false;
    std::string otherUserName;
};

// The sockets bound to local port `port` in a /proc/net/udp or udp6 text
// (header line and malformed lines skipped). Never throws.
std::vector<UdpSocketEntry> ParseProcNetUdp(std::string_view text, std::uint16_t port);

// The inode of a descriptor link such as "socket:[12345]"; nullopt for
// anything else ("pipe:[9]", "/dev/null").
std::optional<std::uint64_t> ParseSocketLink(std::string_view link);

// Looks the port up under `procRoot` (tests pass a fake tree). Waits for
// nothing; reads every /proc/<pid>/fd it may.
PortOwnership FindPortOwner(std::uint16_t port, const std::string& procRoot = "/proc");

// One line for a person, no line end:
//   "UDP port 6000 is in use by python3 (pid 4242)"
//   "UDP port 6000 is in use by python3 (pid 4242) and sleep (pid 4250)"
//   "UDP port 6000 is in use by a program of another user (alice)"
//   "UDP port 6000 is in use by another program"
std::string FormatPortInUse(std::uint16_t port, const PortOwnership& owner);
