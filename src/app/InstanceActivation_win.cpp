#include "app/InstanceActivation.h"

#include "app/SingleInstance.h"

#include <QWinEventNotifier>

#include <string>
#include <windows.h>

// The running instance waits on an auto-reset event named after its guard,
// "Vindrel 2 show", which a name without "Global\" puts in the session's
// own namespace beside the guard itself; a second start sets it. Only the
// running instance creates it: a second start that finds no such event
// knows nobody listens.

namespace {

std::wstring EventName(const SingleInstance& guard)
{
    const std::string name = guard.LockPath().empty() ? std::string() : guard.LockPath() + " show";
    const int length = static_cast<int>(name.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, name.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, name.data(), length, wide.data(), n);
    return wide;
}

}  // namespace

ActivationListener::ActivationListener(const SingleInstance& guard, QObject* parent)
    : QObject(parent)
{
    const std::wstring name = EventName(guard);
    if (name.empty())
        return;
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    if (!event)
        return;
    m_event = event;
    auto* notifier = new QWinEventNotifier(event, this);
    connect(notifier, &QWinEventNotifier::activated, this, [this] { emit Activated(); });
}

ActivationListener::~ActivationListener()
{
    if (!m_event)
        return;
    // The notifier waits on the handle: it goes first.
    qDeleteAll(findChildren<QWinEventNotifier*>(Qt::FindDirectChildrenOnly));
    CloseHandle(m_event);
}

void ActivationListener::Accept()
{
    emit Activated();
}

bool AskRunningInstanceToShow(const SingleInstance& guard)
{
    const std::wstring name = EventName(guard);
    if (name.empty())
        return false;
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (!event)
        return false;
    // Windows lets only the program a person just started take the
    // foreground: this start passes that right on to the running one.
    AllowSetForegroundWindow(ASFW_ANY);
    const bool asked = SetEvent(event) != 0;
    CloseHandle(event);
    return asked;
}
