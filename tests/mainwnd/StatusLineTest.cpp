// What the status line says for each state of the engine, and how it finds
// out who holds the reply port: off the GUI thread, once per spell, on the
// port the engine was given.
#include "mainwnd/StatusLine.h"

#include "base/ErrorText.h"
#include "i18n/TextCatalogue.h"
#include "mainwnd/ServerFeed.h"
#include "mainwnd/ServerList.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Not the program's 6000: the texts must name the port the engine has.
constexpr std::uint16_t kPort = 6123;

QString English(const QString& key)
{
    const char16_t* text =
        QueryCatalogueText(TextTable::MainWindow, reinterpret_cast<const char16_t*>(key.utf16()), u"en");
    return text ? QString::fromUtf16(text) : QString();
}

EngineStatus Listening(bool paused = false)
{
    EngineStatus status;
    status.listener.state = ListenerStatus::State::kListening;
    status.paused = paused;
    return status;
}

PortOwnership HeldBy(const char* name)
{
    PortOwnership owner;
    owner.holders = {{4242, name}};
    return owner;
}

EngineStatus PortTaken()
{
    EngineStatus status;
    status.listener.state = ListenerStatus::State::kPortInUse;
    return status;
}

// A feed whose engine is never started (no socket is opened), a list, and
// the line under test with the state and the port's holder given by the test.
class StatusLineTest : public ::testing::Test
{
protected:
    StatusLineTest()
        : m_feed(Options())
        , m_line(m_feed, m_servers, English)
    {
        m_line.SetStatusSource([this] { return m_status; });
        m_line.SetOwnerLookup([this](std::uint16_t port) { return Lookup(port); });
        m_line.Attach(&m_label, nullptr);
    }

    static DiscoveryOptions Options()
    {
        DiscoveryOptions options;
        options.listenPort = kPort;
        return options;
    }

    void Set(const EngineStatus& status)
    {
        m_status = status;
        m_line.Update();
    }
    QString Text() const { return m_label.text(); }
    bool Says(const QString& text)
    {
        return QTest::qWaitFor([&] { return Text() == text; }, 2000);
    }

    // Runs on the line's worker thread.
    PortOwnership Lookup(std::uint16_t port)
    {
        std::unique_lock lock(m_mutex);
        m_ports.push_back(port);
        m_lookupThreads.push_back(std::this_thread::get_id());
        m_released.wait(lock, [this] { return !m_holdLookups; });
        PortOwnership owner = m_owner;
        if (m_nameByCall && owner.holders.size() == 1)
            owner.holders[0].name += std::to_string(m_ports.size());
        return owner;
    }
    void SetOwner(const PortOwnership& owner)
    {
        std::lock_guard lock(m_mutex);
        m_owner = owner;
    }
    void HoldLookups(bool hold)
    {
        {
            std::lock_guard lock(m_mutex);
            m_holdLookups = hold;
        }
        m_released.notify_all();
    }
    std::size_t Lookups()
    {
        std::lock_guard lock(m_mutex);
        return m_ports.size();
    }

    ServerFeed m_feed;
    ServerList m_servers;
    QLabel m_label;
    EngineStatus m_status;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_holdLookups = false;
    bool m_nameByCall = false;  // the holder's name gets the lookup's number
    PortOwnership m_owner;
    std::vector<std::uint16_t> m_ports;
    std::vector<std::thread::id> m_lookupThreads;
    // Last: its destructor waits for a lookup, which must find the rest alive.
    StatusLine m_line;
};

struct StateCase
{
    const char* why;
    EngineStatus status;
    PortOwnership owner;
    QString says;
};

std::vector<StateCase> StateCases()
{
    EngineStatus noNetwork = Listening();
    noNetwork.noAddresses = true;
    EngineStatus noNetworkStopped = Listening(true);
    noNetworkStopped.noAddresses = true;
    EngineStatus notStarted;
    EngineStatus takenWithoutNetwork = PortTaken();
    takenWithoutNetwork.noAddresses = true;
    EngineStatus failed;
    failed.listener = {ListenerStatus::State::kFailed, EACCES};
    failed.noAddresses = true;

    PortOwnership two;
    two.holders = {{4242, "python3"}, {4250, "sleep"}};
    PortOwnership otherUser;
    otherUser.otherUser = true;
    otherUser.otherUserName = "alice";

    return {
        {"listening and not paused: searching", Listening(), {}, u"Searching\u2026"_s},
        {"paused: stopped", Listening(true), {}, u"Stopped"_s},
        {"not started yet: the pause flag decides", notStarted, {}, u"Searching\u2026"_s},
        {"no IPv4 address: no network", noNetwork, {}, u"No network: no IPv4 address is up"_s},
        {"no network outranks stopped", noNetworkStopped, {}, u"No network: no IPv4 address is up"_s},
        {"a taken port outranks no network, and every holder is named", takenWithoutNetwork, two,
         u"UDP port 6123 is in use by python3 (pid 4242), sleep (pid 4250): no reply can come in"_s},
        {"a holder of another user is named by the user", PortTaken(), otherUser,
         u"UDP port 6123 is in use by a program of user alice: no reply can come in"_s},
        {"a holder nobody can see is another program",
         PortTaken(),
         {},
         u"UDP port 6123 is in use by another program: no reply can come in"_s},
        {"another listen error gives the system's reason",
         failed,
         {},
         u"Cannot listen on UDP port 6123: "_s + QString::fromStdString(ErrorText(EACCES))},
    };
}

TEST_F(StatusLineTest, SaysTheMostPressingStateOfTheEngine)
{
    for (const StateCase& c : StateCases()) {
        SCOPED_TRACE(c.why);
        // Each row begins a new spell of its state, and the line a text no
        // row expects.
        Set(Listening(true));
        m_label.setText(u"-"_s);
        SetOwner(c.owner);
        Set(c.status);
        EXPECT_TRUE(Says(c.says)) << Text().toStdString();
    }
}

TEST_F(StatusLineTest, TheHolderIsLookedUpOffTheGuiThreadOncePerSpell)
{
    SetOwner(HeldBy("python3"));
    Set(Listening());
    for (int check = 0; check < 3; ++check) {
        Set(PortTaken());
        QTest::qWait(50);
    }
    ASSERT_TRUE(QTest::qWaitFor([this] { return Text().contains(u"python3 (pid 4242)"_s); }, 2000))
        << Text().toStdString();
    EXPECT_EQ(Lookups(), 1u) << "the same spell is not looked up again";
    Set(Listening());
    EXPECT_EQ(Text(), u"Searching\u2026"_s);
    Set(PortTaken());
    EXPECT_TRUE(QTest::qWaitFor([this] { return Lookups() == 2; }, 2000)) << "a new spell is looked up anew";
    std::lock_guard lock(m_mutex);
    EXPECT_EQ(m_ports, (std::vector<std::uint16_t>{kPort, kPort})) << "the engine's port, not 6000";
    for (const std::thread::id& thread : m_lookupThreads)
        EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(StatusLineTest, UntilTheHolderIsKnownTheLineKeepsWhatItSaid)
{
    SetOwner(HeldBy("holder"));
    m_nameByCall = true;
    Set(Listening());
    HoldLookups(true);
    Set(PortTaken());
    ASSERT_TRUE(QTest::qWaitFor([this] { return Lookups() == 1; }, 2000));
    Set(PortTaken());
    EXPECT_EQ(Text(), u"Searching\u2026"_s) << "no half sentence while the lookup runs";
    // The port frees and is taken again while the first lookup still runs:
    // what it finds belongs to the spell that ended.
    Set(Listening());
    Set(PortTaken());
    HoldLookups(false);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Text().contains(u"holder2 (pid 4242)"_s); }, 2000))
        << Text().toStdString();
    EXPECT_EQ(Lookups(), 2u);
    EXPECT_FALSE(Text().contains(u"holder1"_s));
}

}  // namespace
