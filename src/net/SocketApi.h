#pragma once

// The system's socket headers, the one place where they differ: BSD sockets
// on POSIX, Windows Sockets 2 on Windows. The engine's shared code uses what
// both have alike: sockaddr_in, in_addr, htonl and friends, inet_ntop and
// inet_pton, INADDR_ANY/INADDR_BROADCAST, and pollfd with POLLIN for
// PollWaker (WSAPOLLFD is pollfd on Windows). The system calls themselves
// live behind UdpSocket, PollWaker and AddressWatch.
#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

#include <cstdint>

// A socket as poll() takes it: an int descriptor on POSIX, a SOCKET on
// Windows.
#if defined(_WIN32)
using SocketHandle = SOCKET;
inline constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif
