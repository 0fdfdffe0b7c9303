#include "base/ErrorText.h"

#include "base/LocaleText.h"

#include <string_view>
#include <windows.h>
#include <winsock2.h>

namespace {

// The system's message for `error` in `language`, as UTF-8 without the
// closing period and line end; empty when it has none in that language.
std::string SystemMessage(DWORD error, DWORD language)
{
    wchar_t* text = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string message;
    if (n > 0 && text)
        message.assign(text, text + n);
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == u'\n' || message.back() == u'\r' || message.back() == u'.' || message.back() == u' '))
        message.pop_back();
    return ToUtf8(message);
}

// Where the system has no text for a Windows Sockets error (Wine has none),
// the words POSIX uses for its counterpart.
std::string_view SocketErrorText(int error)
{
    switch (error) {
    case WSAEINTR: return "Interrupted system call";
    case WSAEACCES: return "Permission denied";
    case WSAEINVAL: return "Invalid argument";
    case WSAEWOULDBLOCK: return "Resource temporarily unavailable";
    case WSAEMSGSIZE: return "Message too long";
    case WSAEADDRINUSE: return "Address already in use";
    case WSAEADDRNOTAVAIL: return "Cannot assign requested address";
    case WSAENETDOWN: return "Network is down";
    case WSAENETUNREACH: return "Network is unreachable";
    case WSAECONNRESET: return "Connection reset by peer";
    case WSAENOBUFS: return "No buffer space available";
    case WSAEHOSTUNREACH: return "No route to host";
    case WSASYSNOTREADY: return "Network subsystem is unavailable";
    default: return {};
    }
}

}  // namespace

std::string ErrorText(int error)
{
    // Windows Sockets and the system share one numbering (WSAEADDRINUSE is
    // 10048), and FormatMessage knows both. English where the system has
    // it, as everywhere else in reports; else the system's own language.
    if (error <= 0)
        return "error " + std::to_string(error);
    const auto code = static_cast<DWORD>(error);
    std::string text = SystemMessage(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (text.empty())
        text = SystemMessage(code, 0);
    if (text.empty())
        text = SocketErrorText(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}
