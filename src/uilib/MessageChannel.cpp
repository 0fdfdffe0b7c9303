#include "uilib/MessageChannel.h"

#include <QCoreApplication>

QEvent::Type MessageChannel::Event::TypeId()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void MessageChannel::Open(QObject* receiver)
{
    std::lock_guard lock(m_mutex);
    m_receiver = receiver;
}

LRESULT MessageChannel::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto call = std::make_shared<Call>();
    call->Message = message;
    call->WParam = wParam;
    call->LParam = lParam;
    call->Waited = true;
    std::unique_lock lock(m_mutex);
    if (!m_receiver)
        return 0;
    // Posting under the lock: Close() cannot let the receiver go in between.
    QCoreApplication::postEvent(m_receiver, new Event(call), Qt::HighEventPriority);
    m_answered.wait(lock, [&] { return call->Done || !m_receiver; });
    return call->Done ? call->Result : 0;
}

bool MessageChannel::Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    auto call = std::make_shared<Call>();
    call->Message = message;
    call->WParam = wParam;
    call->LParam = lParam;
    std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return false;
    QCoreApplication::postEvent(m_receiver, new Event(call));
    return true;
}

void MessageChannel::Complete(Call& call, LRESULT result)
{
    {
        std::lock_guard lock(m_mutex);
        call.Result = result;
        call.Done = true;
    }
    m_answered.notify_all();
}

bool MessageChannel::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_receiver != nullptr;
}

void MessageChannel::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
    }
    m_answered.notify_all();
}
