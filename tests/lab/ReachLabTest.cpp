// The building blocks that explain an empty list, on the real kernel in the
// lab: who holds the port, what the adapters are.

#include "LabSupport.h"
#include "discovery/AdapterKind.h"
#include "discovery/PortOwner.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A child that binds UDP `port` and then becomes `sleep`, keeping the socket.
pid_t StartPortHolder(std::uint16_t port)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);  // no CLOEXEC: sleep inherits it
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        const char ok = fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 ? '1' : '0';
        (void)!write(ready[1], &ok, 1);
        close(ready[1]);
        execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char ok = '0';
    const bool bound = pid > 0 && read(ready[0], &ok, 1) == 1 && ok == '1';
    close(ready[0]);
    if (!bound && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

TEST(PortOwnerLab, FindsTheProcessThatHoldsUdp6000)
{
    EXPECT_TRUE(FindPortOwner(6000).sockets.empty()) << "the lab starts with the port free";
    const pid_t child = StartPortHolder(6000);
    ASSERT_GT(child, 0) << "the child could not bind UDP 6000";

    // The name changes to "sleep" once the child has run exec.
    PortOwnership owner;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    do {
        owner = FindPortOwner(6000);
        if (owner.holders.size() == 1 && owner.holders[0].name == "sleep")
            break;
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    ASSERT_EQ(owner.sockets.size(), 1u);
    EXPECT_EQ(owner.sockets[0].localAddress, "0.0.0.0");
    ASSERT_EQ(owner.holders.size(), 1u);
    EXPECT_EQ(owner.holders[0].pid, child);
    EXPECT_EQ(FormatPortInUse(6000, owner), "UDP port 6000 is in use by sleep (pid " + std::to_string(child) + ")");
}

TEST(AdapterKindLab, TheLabsVethIsVirtualAndLoIsLoopback)
{
    const Lab lab = Lab::FromEnvironment();
    ASSERT_FALSE(lab.interfaces.empty());
    EXPECT_EQ(ClassifyAdapter(lab.interfaces[0], lab.hostAddrs), AdapterKind::kVirtual);
    EXPECT_EQ(ClassifyAdapter("lo", {"127.0.0.1"}), AdapterKind::kLoopback);
}

}  // namespace
