#pragma once

#include "base/MessageTarget.h"
#include "discovery/ServerRecord.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

// The scanner's stand-in for the server list: keeps the first record heard
// from each IP (compared as exact text, as the list does), in order.
// SendMessageW runs on the engine's listener thread; the rest on main.
// Never destroyed once the engine has it (the listener may still call it
// while the process exits), so make it with new and keep it.
class ScanCollector final : public IMessageTarget
{
public:
    std::intptr_t SendMessageW(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Waits until `count` distinct servers are known or `deadline` passes.
    void WaitFor(std::size_t count, std::chrono::steady_clock::time_point deadline);
    std::vector<ServerRecord> Servers() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ServerRecord> m_servers;
    std::set<std::u16string> m_ips;
};
