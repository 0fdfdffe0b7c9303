#pragma once

#include "uilib/UiDefs.h"

#include <QEvent>
#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>

// Carries window messages from any thread to the window's receiver object on
// the GUI thread. A synchronous send posts an event at high priority and
// waits on its own condition, not on Qt's blocking connection: Close()
// releases every waiting sender (result 0) and makes later sends return 0,
// so destroying the window or quitting the application never deadlocks.
class MessageChannel
{
public:
    struct Call
    {
        UINT Message = 0;
        WPARAM WParam = 0;
        LPARAM LParam = 0;
        LRESULT Result = 0;
        bool Done = false;
        bool Waited = false;  // a sender waits for Result
    };

    class Event final : public QEvent
    {
    public:
        static QEvent::Type TypeId();
        explicit Event(std::shared_ptr<Call> call)
            : QEvent(TypeId())
            , m_call(std::move(call))
        {
        }
        const std::shared_ptr<Call>& GetCall() const { return m_call; }

    private:
        std::shared_ptr<Call> m_call;
    };

    MessageChannel() = default;

    // GUI thread: messages go to `receiver` from now on.
    void Open(QObject* receiver);

    // Any thread. Blocks until the receiver has answered or the channel closed.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
    bool Post(UINT message, WPARAM wParam, LPARAM lParam);
    // GUI thread: the receiver finished a call.
    void Complete(Call& call, LRESULT result);
    bool IsOpen() const;
    // GUI thread: releases the waiting senders for good. The receiver may be
    // deleted afterwards.
    void Close();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    QObject* m_receiver = nullptr;  // GUI thread object; null while closed
};
