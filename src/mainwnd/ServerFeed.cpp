#include "mainwnd/ServerFeed.h"

#include <QMetaObject>

#include <string>
#include <utility>

ServerFeed::ServerFeed(DiscoveryOptions options, QObject* parent)
    : QObject(parent)
    , m_listenPort(options.listenPort)
    , m_engine(std::move(options))
{
    m_rearm.setSingleShot(true);
    m_rearm.setInterval(1000 / kDrainsPerSecond);
    connect(&m_rearm, &QTimer::timeout, this, &ServerFeed::OnRearm);
    // Called on a listener thread with the queue's lock held: only post.
    // Qt drops the call if the feed is gone; the destructor clears the wake
    // before that.
    m_queue->SetWake([this] { QMetaObject::invokeMethod(this, &ServerFeed::Drain, Qt::QueuedConnection); });
}

ServerFeed::~ServerFeed()
{
    m_queue->SetWake({});
    m_engine.Stop();
}

void ServerFeed::Start()
{
    m_engine.Start(m_queue);
}

void ServerFeed::Stop()
{
    m_engine.Stop();
}

void ServerFeed::SetPaused(bool paused)
{
    m_engine.SetPaused(paused);
    if (!paused)
        m_searchStarted = Clock::now();
    emit SearchStateSet(!paused);
}

QStringList ServerFeed::SetTargets(const QStringList& written)
{
    std::vector<ProbeTarget> parsed;
    QStringList kept;
    for (const QString& line : written) {
        const QString target = line.trimmed();
        const ProbeTargetParse parse = ParseProbeTarget(target.toStdString());
        if (parse.target) {
            parsed.push_back(*parse.target);
            kept.append(target);
        }
    }
    m_engine.SetTargets(std::move(parsed));
    return kept;
}

void ServerFeed::Drain()
{
    const std::vector<ServerSighting> batch = m_queue->Take();
    if (!batch.empty())
        emit SightingsArrived(batch);
    // The next sightings wait a little, so that the GUI thread wakes at
    // most kDrainsPerSecond times a second.
    m_rearm.start();
}

void ServerFeed::OnRearm()
{
    if (!m_queue->Arm())
        Drain();
}
