#pragma once

#include "net/PollWaker.h"
#include "net/SocketApi.h"

#include <cstddef>
#include <cstdint>
#include <thread>

struct EngineContext;
class UdpSocket;

// The one listener: a thread with one UDP socket bound to 0.0.0.0 on the
// reply port, serving every interface. Each reply becomes a ServerSighting
// pushed into the context's queue, with the interface and local address it
// arrived through (IP_PKTINFO). While paused it leaves the socket alone, so
// replies wait there until Search. While the port cannot be bound (another
// program holds it) it tries again every options.bindRetry.
class ReplyListener final
{
public:
    explicit ReplyListener(EngineContext& context);
    ~ReplyListener();
    ReplyListener(const ReplyListener&) = delete;
    ReplyListener& operator=(const ReplyListener&) = delete;

    // Starts the thread; false when the system refuses one.
    bool Start();
    // Any thread: makes the thread look at the context's flags again.
    void Wake();
    // Waits for the thread to end; the context's stopping flag must be set.
    void Join();

private:
    void Run();
    int OpenSocket(UdpSocket& socket) const;
    void Receive(UdpSocket& socket);
    void Handle(const char* data, std::size_t size, const sockaddr_in& from, unsigned ifindex, std::uint32_t local);

    EngineContext& m_context;
    PollWaker m_wake;
    std::thread m_thread;
};
