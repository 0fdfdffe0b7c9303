#pragma once

#include "net/SocketApi.h"

// A wake-up that WSAPoll can wait for, for PollWaker and AddressWatch on
// Windows, where an event object cannot be polled with sockets: a UDP
// socket on 127.0.0.1 connected to itself, so that whatever it sends it
// receives. Non-blocking and not inherited. Windows only.

// The socket, or kNoSocket when the system refuses one.
SocketHandle OpenLoopbackSignal();

// Any thread; never blocks. When the socket's buffer is full a signal is
// pending anyway.
void SendLoopbackSignal(SocketHandle signal);

// Takes every pending signal without blocking; true when there was one.
bool DrainLoopbackSignal(SocketHandle signal);

// Starts Windows Sockets 2.2 for the process, once; false when it cannot.
// Never undone: sockets may be in use until the process ends.
bool StartWindowsSockets();
