#pragma once

#include <chrono>
#include <string>
#include <vector>

// Runs a helper program and takes its output, never waiting longer than a
// time limit: for the read-only queries of discovery/FirewallCheck.cpp
// (nft list ruleset, firewall-cmd --list-all-zones...). The program is
// looked up in PATH and in /usr/sbin and /sbin, where such tools live but a
// user's PATH often does not reach. It runs with LC_ALL=C (so that its
// messages are not translated), standard input from /dev/null and no other
// descriptors. Safe to call from any thread.
struct ToolResult
{
    bool started = false;   // false: not found, or could not be started
    bool timedOut = false;  // killed at the time limit
    int exitCode = -1;      // when it exited by itself
    std::string output;     // standard output, at most 1 MiB
    std::string errors;     // standard error, at most 64 KiB
};

ToolResult RunTool(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);

// The full path RunTool would start for `name`; empty when there is none.
std::string FindTool(const std::string& name);
