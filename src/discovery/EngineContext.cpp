#include "discovery/EngineContext.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>

EngineContext::EngineContext(DiscoveryOptions o)
    : options(std::move(o))
    , neighbours(std::vector<LocalInterface>{})
{
    unicast.SetTargets(options.targets);
}

void EngineContext::Print(EngineLog::Kind kind, const char* format, ...) const
{
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0)
        return;
    const std::string_view text(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
    if (options.diagnostics)
        options.diagnostics(text);
    else if (options.engineLog)
        options.engineLog->Write(text, kind);
    else
        EngineLog::StandardOutput().Write(text, kind);
}

void EngineContext::SetListener(ListenerStatus::State state, int error)
{
    {
        std::lock_guard lock(mutex);
        listener.state = state;
        listener.error = error;
    }
    changed.notify_all();
}

void EngineContext::SetAdapters(const std::vector<LocalInterface>& links)
{
    std::vector<Adapter> next;
    next.reserve(links.size());
    std::lock_guard lock(mutex);
    for (const LocalInterface& link : links) {
        const auto same = [&](const Adapter& a) { return a.addr == link.addr && a.status.index == link.index; };
        const auto old = std::find_if(adapters.begin(), adapters.end(), same);
        Adapter a = old != adapters.end() ? std::move(*old) : Adapter{link.addr, {}};
        a.status.name = link.name;
        a.status.address = link.address;
        a.status.prefixLength = static_cast<unsigned>(__builtin_popcount(link.netmask));
        a.status.index = link.index;
        next.push_back(std::move(a));
    }
    adapters = std::move(next);
    noAddresses = adapters.empty();
}

void EngineContext::CountProbe(unsigned ifindex, std::uint32_t addr, int error)
{
    std::lock_guard lock(mutex);
    for (Adapter& a : adapters) {
        if (a.addr != addr || a.status.index != ifindex)
            continue;
        if (error == 0) {
            ++a.status.probesSent;
        } else {
            ++a.status.sendErrors;
            a.status.lastSendError = error;
        }
        return;
    }
}

void EngineContext::WaitUntilListenerSettled(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex);
    changed.wait_for(lock, timeout,
                     [&] { return listener.state != ListenerStatus::State::kStarting || stopping.load(); });
}

void EngineContext::CountReply(unsigned ifindex, std::uint32_t local)
{
    std::lock_guard lock(mutex);
    ++repliesReceived;
    // The adapter with both the interface and the address the reply was sent
    // to; else the first address of that interface (a broadcast reply).
    AdapterStatus* best = nullptr;
    for (Adapter& a : adapters) {
        if (a.status.index != ifindex)
            continue;
        if (a.addr == local) {
            best = &a.status;
            break;
        }
        if (!best)
            best = &a.status;
    }
    if (best)
        ++best->repliesReceived;
}
