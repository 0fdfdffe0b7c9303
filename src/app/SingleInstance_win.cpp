#include "app/SingleInstance.h"

#include <string>
#include <windows.h>

namespace {

std::wstring WideFromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), n);
    return wide;
}

std::string SystemMessage(DWORD error)
{
    char* text = nullptr;
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

SingleInstance::SingleInstance(std::string_view guard)
{
    // A name without "Global\" lives in the namespace of the caller's Windows
    // session (it is "Local\<guard>"), so each session has its own instance.
    m_path = std::string(guard);
    const std::wstring name = WideFromUtf8(guard);
    // Manual reset, not signalled: only the name's existence counts.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!event) {
        m_problem = "cannot create the event \"" + m_path + "\": " + SystemMessage(error);
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Let go at once: a refused start that lingers (showing its notice)
        // must not keep the name alive after the running instance has ended.
        CloseHandle(event);
        m_anotherRunning = true;
        return;
    }
    m_event = event;
}

SingleInstance::SingleInstance(SingleInstance&& other) noexcept
    : m_fd(other.m_fd)
    , m_event(other.m_event)
    , m_anotherRunning(other.m_anotherRunning)
    , m_path(std::move(other.m_path))
    , m_problem(std::move(other.m_problem))
{
    other.m_event = nullptr;
}

SingleInstance::~SingleInstance()
{
    if (m_event)
        CloseHandle(m_event);
}
