#include "discovery/DiscoveryEngine.h"

#include "discovery/EngineContext.h"
#include "discovery/ProbeSender.h"
#include "discovery/ReplyListener.h"
#include "discovery/ServerQueue.h"
#include "net/AddressWatch.h"
#include "net/LocalInterface.h"

#include <cerrno>

DiscoveryEngine::DiscoveryEngine()
    : DiscoveryEngine(DiscoveryOptions{})
{
}

DiscoveryEngine::DiscoveryEngine(DiscoveryOptions options)
    : m_context(std::make_unique<EngineContext>(std::move(options)))
{
}

DiscoveryEngine::~DiscoveryEngine()
{
    Stop();
}

void DiscoveryEngine::Start(std::shared_ptr<ServerQueue> queue)
{
    std::lock_guard control(m_control);
    if (!queue || m_started || m_stopped)
        return;
    m_started = true;
    EngineContext& context = *m_context;
    queue->SetAccepting(!context.paused.load());
    context.queue = std::move(queue);
    context.searches.fetch_add(1);

    // Subscribed before the first listing, so that no change falls between.
    auto watch = std::make_unique<AddressWatch>();
    std::vector<LocalInterface> links = ListLocalInterfaces(context.options.interfaces);
    context.neighbours.SetLinks(links);
    context.SetAdapters(links);
    context.SetListener(ListenerStatus::State::kStarting, 0);
    m_listener = std::make_unique<ReplyListener>(context);
    m_prober = std::make_unique<ProbeSender>(context, std::move(watch), std::move(links));
    if (!m_listener->Start())
        context.SetListener(ListenerStatus::State::kFailed, EAGAIN);
    // Without a probe thread nothing is sent; the listener still takes
    // whatever arrives.
    (void)m_prober->Start();
}

void DiscoveryEngine::Stop()
{
    std::lock_guard control(m_control);
    if (m_stopped)
        return;
    m_stopped = true;
    if (!m_started)
        return;
    EngineContext& context = *m_context;
    {
        std::lock_guard lock(context.mutex);
        context.stopping.store(true);
    }
    context.changed.notify_all();
    m_listener->Wake();
    m_prober->Wake();
    m_listener->Join();
    m_prober->Join();
    // The sockets close with their owners: port 6000 is free when Stop returns.
    m_listener.reset();
    m_prober.reset();
}

void DiscoveryEngine::SetPaused(bool paused)
{
    std::lock_guard control(m_control);
    if (m_context->paused.exchange(paused) && !paused)
        m_context->searches.fetch_add(1);
    if (!m_started || m_stopped)
        return;
    m_context->queue->SetAccepting(!paused);
    m_listener->Wake();
    m_prober->Wake();
}

void DiscoveryEngine::SetTargets(std::vector<ProbeTarget> targets)
{
    m_context->unicast.SetTargets(std::move(targets));
    std::lock_guard control(m_control);
    if (m_started && !m_stopped)
        m_prober->Wake();
}

std::vector<ProbeTarget> DiscoveryEngine::Targets() const
{
    return m_context->unicast.Targets();
}

bool DiscoveryEngine::IsPaused() const
{
    return m_context->paused.load();
}

EngineStatus DiscoveryEngine::Status() const
{
    const EngineContext& context = *m_context;
    EngineStatus status;
    status.sweepRemaining = context.unicast.SweepRemaining();
    std::lock_guard lock(context.mutex);
    status.listener = context.listener;
    for (const EngineContext::Adapter& a : context.adapters)
        status.adapters.push_back(a.status);
    status.noAddresses = context.noAddresses;
    status.paused = context.paused.load();
    status.repliesReceived = context.repliesReceived;
    status.unicastProbesSent = context.unicastProbesSent;
    status.unicastSendErrors = context.unicastSendErrors;
    status.lastUnicastSendError = context.lastUnicastSendError;
    return status;
}

ListenerState DiscoveryEngine::WaitForListener(std::chrono::milliseconds timeout) const
{
    using Status = ListenerState::Status;
    using State = ListenerStatus::State;
    EngineContext& context = *m_context;
    const bool noTargets = context.unicast.Targets().empty();
    std::unique_lock lock(context.mutex);
    if (context.listener.state == State::kNotStarted)
        return {Status::kNotStarted, 0};
    if (context.noAddresses && noTargets)
        return {Status::kNoAddresses, 0};
    context.changed.wait_for(lock, timeout,
                             [&] { return context.listener.state != State::kStarting || context.stopping.load(); });
    switch (context.listener.state) {
    case State::kListening: return {Status::kListening, 0};
    case State::kPortInUse:
    case State::kFailed: return {Status::kBindFailed, context.listener.error};
    default: return {Status::kStarting, 0};
    }
}
