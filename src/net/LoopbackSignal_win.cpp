#include "net/LoopbackSignal_win.h"

bool StartWindowsSockets()
{
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SocketHandle OpenLoopbackSignal()
{
    if (!StartWindowsSockets())
        return kNoSocket;
    const SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    u_long nonBlocking = 1;
    const bool ready = bind(s, reinterpret_cast<const sockaddr*>(&self), sizeof self) == 0 &&
                       getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) == 0 &&
                       connect(s, reinterpret_cast<const sockaddr*>(&self), sizeof self) == 0 &&
                       ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
    if (!ready) {
        closesocket(s);
        return kNoSocket;
    }
    return s;
}

void SendLoopbackSignal(SocketHandle signal)
{
    if (signal != kNoSocket)
        (void)send(signal, "!", 1, 0);
}

bool DrainLoopbackSignal(SocketHandle signal)
{
    if (signal == kNoSocket)
        return false;
    bool signalled = false;
    char bytes[64];
    for (;;) {
        const int n = recv(signal, bytes, sizeof bytes, 0);
        if (n > 0) {
            signalled = true;
            continue;
        }
        // WSAEMSGSIZE cannot happen (one byte a datagram); anything else,
        // WSAEWOULDBLOCK included, means nothing more is there.
        return signalled;
    }
}
