#pragma once

#include <QObject>

#include <memory>
#include <string>

class QSocketNotifier;
class SingleInstance;

// Lets a second start bring the running window forward: the running
// instance listens beside its single-instance lock, in the user's private
// runtime folder, and a second start asks it to show itself. On Windows
// (InstanceActivation_win.cpp) it waits on a named event in the session's
// namespace that a second start sets. GUI thread only.
class ActivationListener final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivationListener)

public:
    // Listens for the instance that holds `guard`; IsListening() says
    // whether it could (a start then merely cannot raise this window).
    explicit ActivationListener(const SingleInstance& guard, QObject* parent = nullptr);
    ~ActivationListener() override;
    bool IsListening() const { return m_fd >= 0 || m_event; }

signals:
    // A second start asked for the window.
    void Activated();

private:
    void Accept();

    int m_fd = -1;
    void* m_event = nullptr;  // Windows: the event a second start sets
    std::string m_path;
    QSocketNotifier* m_notifier = nullptr;  // child
};

// The second start's side: asks the instance that holds the lock of `guard`
// to show its window. False when nobody listens there.
bool AskRunningInstanceToShow(const SingleInstance& guard);
