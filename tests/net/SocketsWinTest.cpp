// The engine's Windows system side over loopback only (no packet leaves the
// machine, so this runs outside the lab): the sockets, the waker, the
// diagnostic stream, the port's holder and the adapter list.
#include "diagnosis/AdapterKind.h"
#include "diagnosis/PortOwner.h"
#include "discovery/EngineLog.h"
#include "net/LocalInterface.h"
#include "net/PollWaker.h"
#include "net/ThreadPriority.h"
#include "net/UdpSocket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <io.h>
#include <thread>
#include <windows.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);

std::uint16_t PortOf(const UdpSocket& socket)
{
    sockaddr_in local{};
    int length = sizeof local;
    getsockname(socket.Handle(), reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

// A listener on a loopback port the system picked, as the engine sets one up.
UdpSocket Listener()
{
    UdpSocket s;
    EXPECT_EQ(s.Open(true), 0);
    EXPECT_EQ(s.Bind(kLoopback, 0), 0);
    EXPECT_EQ(s.ReceiveArrivals(), 0);
    s.SetReceiveBuffer(1 << 20);
    return s;
}

UdpSocket::Received ReceiveWithin(UdpSocket& s, char* buffer, std::size_t size, UdpSocket::Datagram& d)
{
    const auto until = Clock::now() + 2s;
    int error = 0;
    for (;;) {
        const UdpSocket::Received r = s.Receive(buffer, size, d, error);
        if (r != UdpSocket::Received::kNothing || Clock::now() > until)
            return r;
        std::this_thread::sleep_for(5ms);
    }
}

TEST(WinUdpSocket, ADatagramArrivesWithItsSenderInterfaceAndLocalAddress)
{
    UdpSocket listener = Listener();
    UdpSocket sender;
    ASSERT_EQ(sender.Open(true), 0);
    ASSERT_EQ(sender.Bind(kLoopback, 0), 0);
    ASSERT_EQ(sender.SendTo("nas1\n80\n", kLoopback, PortOf(listener)), 0);

    char buffer[2048];
    UdpSocket::Datagram d;
    ASSERT_EQ(ReceiveWithin(listener, buffer, sizeof buffer, d), UdpSocket::Received::kDatagram);
    EXPECT_EQ(std::string(buffer, d.size), "nas1\n80\n");
    EXPECT_EQ(d.from.sin_family, AF_INET);
    EXPECT_EQ(d.from.sin_addr.s_addr, kLoopback);
    EXPECT_EQ(ntohs(d.from.sin_port), PortOf(sender));
    EXPECT_EQ(d.local, kLoopback) << "IP_PKTINFO through WSARecvMsg";
    EXPECT_NE(d.ifindex, 0u);

    int error = 0;
    EXPECT_EQ(listener.Receive(buffer, sizeof buffer, d, error), UdpSocket::Received::kNothing)
        << "an empty non-blocking socket answers at once";
}

TEST(WinUdpSocket, ADatagramLongerThanTheBufferSaysSo)
{
    UdpSocket listener = Listener();
    UdpSocket sender;
    ASSERT_EQ(sender.Open(false), 0);
    ASSERT_EQ(sender.SendTo(std::string(3000, 'x'), kLoopback, PortOf(listener)), 0);
    char buffer[2048];
    UdpSocket::Datagram d;
    ASSERT_EQ(ReceiveWithin(listener, buffer, sizeof buffer, d), UdpSocket::Received::kDatagram);
    EXPECT_GT(d.size, sizeof buffer) << "the listener drops what did not fit";
}

TEST(WinUdpSocket, NoOtherSocketCanTakeABoundPort)
{
    UdpSocket owner = Listener();
    const std::uint16_t port = PortOf(owner);

    UdpSocket second;
    ASSERT_EQ(second.Open(true), 0);
    const int refused = second.Bind(kLoopback, port);
    EXPECT_NE(refused, 0);
    EXPECT_TRUE(UdpSocket::IsAddressInUse(refused)) << refused;

    // Another program asking to share the port is refused too.
    const SOCKET intruder = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const BOOL on = TRUE;
    setsockopt(intruder, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = kLoopback;
    EXPECT_NE(bind(intruder, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
    EXPECT_TRUE(UdpSocket::IsAddressInUse(WSAGetLastError()));
    closesocket(intruder);

    owner.Close();
    EXPECT_EQ(second.Bind(kLoopback, port), 0) << "free again once closed";
}

TEST(WinUdpSocket, SocketsAreNotInheritedByChildProcesses)
{
    UdpSocket s;
    ASSERT_EQ(s.Open(false), 0);
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(s.Handle()), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
}

TEST(WinPollWaker, NotifyWakesAWaitAndTimeoutsAndReadySocketsAreTold)
{
    PollWaker wake;
    std::thread notifier([&] {
        std::this_thread::sleep_for(50ms);
        wake.Notify();
    });
    const auto begin = Clock::now();
    EXPECT_TRUE(wake.Wait(5000));
    EXPECT_LT(Clock::now() - begin, 2s);
    notifier.join();

    const auto quiet = Clock::now();
    EXPECT_FALSE(wake.Wait(100)) << "a pending signal was taken by the first wait";
    EXPECT_GE(Clock::now() - quiet, 90ms);

    UdpSocket listener = Listener();
    UdpSocket sender;
    ASSERT_EQ(sender.Open(false), 0);
    ASSERT_EQ(sender.SendTo("x", kLoopback, PortOf(listener)), 0);
    std::vector<pollfd> fds{{listener.Handle(), POLLIN, 0}};
    EXPECT_FALSE(wake.Wait(fds, 2000));
    EXPECT_TRUE(fds[0].revents & POLLIN);
}

// A pipe whose read end this test holds.
struct Pipe
{
    int read = -1;
    int write = -1;
    Pipe()
    {
        int fds[2];
        if (_pipe(fds, 4096, _O_BINARY) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe()
    {
        if (read >= 0)
            _close(read);
        if (write >= 0)
            _close(write);
    }
};

// What the pipe holds within `patience`, at least `atLeast` bytes if they
// come; never blocks beyond it.
std::string ReadSome(int fd, std::size_t atLeast, std::chrono::milliseconds patience = 2000ms)
{
    const HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    const auto until = Clock::now() + patience;
    std::string text;
    char buffer[4096];
    while (text.size() < atLeast && Clock::now() < until) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available == 0) {
            std::this_thread::sleep_for(5ms);
            continue;
        }
        const int n = _read(fd, buffer, static_cast<unsigned>(std::min<DWORD>(available, sizeof buffer)));
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

TEST(WinEngineLog, LinesArriveWholeAndInOrder)
{
    Pipe pipe;
    ASSERT_GE(pipe.write, 0);
    EngineLog out(pipe.write);
    out.Write("Message 1\n", EngineLog::Kind::kProgress);
    out.Write("error! error code is 10048\n", EngineLog::Kind::kError);
    EXPECT_EQ(ReadSome(pipe.read, 37), "Message 1\nerror! error code is 10048\n");
    EXPECT_FALSE(out.HasFailed());
    EXPECT_FALSE(out.IsJournal());
}

TEST(WinEngineLog, AReaderThatNeverReadsCostsLinesButNeverBlocks)
{
    Pipe pipe;
    ASSERT_GE(pipe.write, 0);
    EngineLog out(pipe.write);
    const std::string line(100, 'x');
    const auto begin = Clock::now();
    for (int i = 0; i < 5000; ++i)  // 500 kB into a 4 kB pipe
        out.Write(line + "\n", EngineLog::Kind::kProgress);
    EXPECT_LT(Clock::now() - begin, 2s) << "the writing thread never waits for the reader";
    EXPECT_FALSE(out.HasFailed());
    // Once the reader catches up, the next line that gets through says how
    // many were lost.
    const std::string backlog = ReadSome(pipe.read, 1 << 20, 1000ms);
    EXPECT_GE(backlog.size(), 32u * 1024) << "what waited was written once the reader read";
    out.Write("last\n", EngineLog::Kind::kError);
    const std::string rest = ReadSome(pipe.read, 1 << 20, 1000ms);
    EXPECT_NE(rest.find("diagnostic lines dropped"), std::string::npos) << backlog.size() << " " << rest.size();
    EXPECT_TRUE(rest.ends_with("last\n")) << rest.substr(0, 200);
}

TEST(WinEngineLog, AStreamThatIsGoneStopsAllWriting)
{
    Pipe pipe;
    ASSERT_GE(pipe.write, 0);
    _close(pipe.read);
    pipe.read = -1;
    EngineLog out(pipe.write);
    const auto until = Clock::now() + 2s;
    while (!out.HasFailed() && Clock::now() < until) {
        out.Write("Message 1\n", EngineLog::Kind::kProgress);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(out.HasFailed());
}

TEST(WinPortOwner, NamesTheProgramThatHoldsAPort)
{
    UdpSocket held = Listener();
    const std::uint16_t port = PortOf(held);
    const PortOwnership owner = FindPortOwner(port);
    ASSERT_FALSE(owner.sockets.empty()) << "GetExtendedUdpTable lists the socket";
    EXPECT_EQ(owner.sockets[0].localAddress, "127.0.0.1");
    ASSERT_EQ(owner.holders.size(), 1u);
    EXPECT_EQ(owner.holders[0].pid, static_cast<int>(GetCurrentProcessId()));
    EXPECT_EQ(owner.holders[0].name, "test_discovery_win.exe");
    EXPECT_EQ(FormatPortInUse(port, owner), "UDP port " + std::to_string(port) +
                                                " is in use by test_discovery_win.exe (pid " +
                                                std::to_string(GetCurrentProcessId()) + ")");
    held.Close();
    EXPECT_TRUE(FindPortOwner(port).sockets.empty());
}

TEST(WinAdapters, EveryListedAddressIsUpNamedAndIndexed)
{
    // Reading the adapter list sends nothing.
    for (const LocalInterface& l : ListLocalInterfaces()) {
        SCOPED_TRACE(l.name + " " + l.address);
        EXPECT_FALSE(l.name.empty());
        EXPECT_NE(l.index, 0u);
        EXPECT_NE(l.addr, kLoopback);
        const std::uint32_t mask = ntohl(l.netmask);
        EXPECT_EQ((mask << 1) & ~mask, 0u) << "a netmask is leading ones";
        EXPECT_NE(ClassifyAdapter(l.name, {l.address}), AdapterKind::kLoopback);
    }
    EXPECT_TRUE(ListLocalInterfaces({"no-such-adapter"}).empty());
    EXPECT_EQ(ClassifyAdapter("no-such-adapter", {"10.0.0.1"}), AdapterKind::kUnknown);
}

TEST(WinThreadPriority, DiscoveryThreadsRunBelowNormal)
{
    std::thread([] {
        LowerCallingThreadPriority();
        EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    }).join();
}

}  // namespace
