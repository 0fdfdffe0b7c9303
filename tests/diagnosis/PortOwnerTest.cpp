#include "diagnosis/PortOwner.h"

#include "TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr const char* kHeader =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
    "inode ref pointer drops            \n";

// Lines as the kernel writes them: 0x1770 is 6000; addresses are the bytes
// of each 32-bit word read as a little-endian number.
constexpr const char* kUdp =
    "  123: 00000000:1770 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 12345 2 "
    "0000000000000000 0        \n"
    "  456: 0100150A:1770 00000000:0000 07 00000000:00000000 00:00000000 00000000  1001        0 23456 2 "
    "0000000000000000 0        \n"
    "  789: 0100007F:1771 00000000:0000 07 00000000:00000000 00:00000000 00000000     0        0 34567 2 "
    "0000000000000000 0        \n";
constexpr const char* kUdp6 =
    "  100: 00000000000000000000000001000000:1770 00000000000000000000000000000000:0000 07 00000000:00000000 "
    "00:00000000 00000000     0        0 45678 2 0000000000000000 0\n";

TEST(ParseProcNetUdp, FindsEverySocketOnThePortWithItsAddressOwnerAndInode)
{
    const auto v4 = ParseProcNetUdp(std::string(kHeader) + kUdp, 6000);
    ASSERT_EQ(v4.size(), 2u) << "port 6001 is not port 6000";
    EXPECT_EQ(v4[0].localAddress, "0.0.0.0");
    EXPECT_EQ(v4[0].uid, 0u);
    EXPECT_EQ(v4[0].inode, 12345u);
    EXPECT_EQ(v4[1].localAddress, "10.21.0.1");
    EXPECT_EQ(v4[1].uid, 1001u);
    EXPECT_EQ(v4[1].port, 6000);

    const auto v6 = ParseProcNetUdp(std::string(kHeader) + kUdp6, 6000);
    ASSERT_EQ(v6.size(), 1u);
    EXPECT_EQ(v6[0].localAddress, "::1");
    EXPECT_EQ(v6[0].inode, 45678u);
}

TEST(ParseProcNetUdp, SkipsWhatIsNotASocketLine)
{
    const char* junk = "\n"
                       "garbage\n"
                       "  1: ZZZZZZZZ:1770 00000000:0000 07 0:0 0:0 0 0 0 1 2\n"
                       "  2: 00000000:1770 00000000:0000 07\n"                    // cut short
                       "  3: 00000000:1770 00000000:0000 07 0:0 0:0 0 x 0 1 2\n"  // uid not a number
                       "  4: 00000000:1770";                                      // no line end, cut
    EXPECT_TRUE(ParseProcNetUdp(junk, 6000).empty());
}

struct LinkCase
{
    const char* link;
    std::optional<std::uint64_t> inode;
};

const LinkCase kLinks[] = {
    {"socket:[12345]", 12345u},
    {"socket:[]", std::nullopt},
    {"pipe:[12345]", std::nullopt},
    {"/dev/null", std::nullopt},
    {"socket:[12x]", std::nullopt},
    {"socket:[1", std::nullopt},
    {"", std::nullopt},
    {"socket:[18446744073709551615]", 18446744073709551615u},
};

TEST(ParseSocketLink, OnlySocketLinksGiveAnInode)
{
    for (const LinkCase& c : kLinks)
        EXPECT_EQ(ParseSocketLink(c.link), c.inode) << c.link;
}

// A /proc look-alike: the socket tables and a few processes with descriptors.
class FakeProc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_tree.Write("net/udp", std::string(kHeader) + kUdp);
        m_tree.Write("net/udp6", kHeader);
        AddProcess(4242, "python3\n", {"socket:[12345]", "/dev/null"});
        AddProcess(4250, "sleep\n", {"pipe:[7]", "socket:[12345]"});  // inherited it
        AddProcess(99, "other\n", {"socket:[999]"});
        m_tree.Write("self/comm", "not a pid\n");
    }

    void AddProcess(int pid, const std::string& comm, const std::vector<std::string>& links)
    {
        const std::string dir = std::to_string(pid);
        m_tree.Write(dir + "/comm", comm);
        for (std::size_t fd = 0; fd < links.size(); ++fd)
            m_tree.Link(dir + "/fd/" + std::to_string(fd + 3), links[fd]);
    }

    TempTree m_tree;
};

TEST_F(FakeProc, NamesEveryProcessHoldingTheSocket)
{
    const PortOwnership owner = FindPortOwner(6000, m_tree.Root());
    EXPECT_EQ(owner.sockets.size(), 2u);
    EXPECT_EQ(owner.holders, (std::vector<PortHolder>{{4242, "python3"}, {4250, "sleep"}}));
    EXPECT_FALSE(owner.otherUser);
    EXPECT_EQ(FormatPortInUse(6000, owner), "UDP port 6000 is in use by python3 (pid 4242) and sleep (pid 4250)");
}

TEST_F(FakeProc, AFreePortHasNoSockets)
{
    const PortOwnership owner = FindPortOwner(6002, m_tree.Root());
    EXPECT_TRUE(owner.sockets.empty());
    EXPECT_TRUE(owner.holders.empty());
}

TEST_F(FakeProc, ASocketOfAnotherUserWithNoVisibleHolderNamesTheUser)
{
    const unsigned other = geteuid() == 4001 ? 4002 : 4001;
    m_tree.Write("net/udp", std::string(kHeader) +
                                "  1: 00000000:1771 00000000:0000 07 00000000:00000000 00:00000000 "
                                "00000000  " +
                                std::to_string(other) + "        0 555 2 0 0\n");
    const PortOwnership owner = FindPortOwner(6001, m_tree.Root());
    EXPECT_TRUE(owner.holders.empty());
    EXPECT_TRUE(owner.otherUser);
    EXPECT_FALSE(owner.otherUserName.empty());
    EXPECT_EQ(FormatPortInUse(6001, owner).rfind("UDP port 6001 is in use by a program of another user (", 0), 0u);
}

struct FormatCase
{
    const char* why;
    PortOwnership owner;
    const char* line;
};

TEST(FormatPortInUse, SaysWhatWasLearnt)
{
    const FormatCase cases[] = {
        {"one holder", {{}, {{4242, "python3"}}, false, ""}, "UDP port 6000 is in use by python3 (pid 4242)"},
        {"three holders",
         {{}, {{1, "a"}, {2, "b"}, {3, "c"}}, false, ""},
         "UDP port 6000 is in use by a (pid 1), b (pid 2) and c (pid 3)"},
        {"a holder without a name", {{}, {{7, ""}}, false, ""}, "UDP port 6000 is in use by a program (pid 7)"},
        {"another user's", {{}, {}, true, "alice"}, "UDP port 6000 is in use by a program of another user (alice)"},
        {"nothing learnt", {}, "UDP port 6000 is in use by another program"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(FormatPortInUse(6000, c.owner), c.line) << c.why;
}

}  // namespace
