// SendMessageW across threads, and that no sender is left hanging.
#include "SkinFixture.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {
using namespace std::chrono_literals;

class MessageFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(QStringLiteral("w.xml"), UiDocument({}));
        window = std::make_unique<TestWindow>(QStringLiteral("w.xml"));
        ASSERT_TRUE(window->Create(nullptr, u"w", 0, 0));
    }

    // Runs the event loop until `done` or the time is up.
    static bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < end)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    SkinFolder folder;
    std::unique_ptr<TestWindow> window;
};

TEST_F(MessageFixture, AnotherThreadsSendIsHandledOnTheGuiThreadWithItsResult)
{
    Qt::HANDLE handlerThread = nullptr;
    window->onMessage = [&](UINT message, WPARAM w, LPARAM l) -> LRESULT {
        handlerThread = QThread::currentThreadId();
        return message == 3024 ? static_cast<LRESULT>(w) + l : 0;
    };
    auto result = std::async(std::launch::async, [&] { return window->SendMessageW(3024, 40, 2); });
    ASSERT_TRUE(PumpUntil([&] { return result.wait_for(0ms) == std::future_status::ready; }));
    EXPECT_EQ(result.get(), 42);
    EXPECT_EQ(handlerThread, QThread::currentThreadId());
}

TEST_F(MessageFixture, TheGuiThreadsOwnSendIsHandledAtOnce)
{
    window->onMessage = [](UINT, WPARAM w, LPARAM) -> LRESULT { return static_cast<LRESULT>(w) * 2; };
    EXPECT_EQ(window->SendMessageW(1025, 21, 514), 42);
    EXPECT_EQ(window->messages.back(), 1025u);
}

TEST_F(MessageFixture, DestroyingTheWindowReleasesAWaitingSender)
{
    std::atomic<bool> sent{false};
    // The sender takes the window's address before it starts: reading the
    // owning pointer while this thread resets it would itself be a race.
    TestWindow* const target = window.get();
    auto result = std::async(std::launch::async, [&sent, target] {
        sent = true;
        return target->SendMessageW(3024, 1, 0);
    });
    while (!sent)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms);  // the sender now waits; no event loop has run
    window.reset();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready) << "sender left hanging";
    EXPECT_EQ(result.get(), 0);
}

TEST_F(MessageFixture, QuittingTheMessageLoopReleasesSendersAndLaterSendsReturnAtOnce)
{
    std::atomic<int> answered{0};
    window->onMessage = [](UINT, WPARAM, LPARAM) -> LRESULT { return 1; };
    std::thread sender([&] {
        // Sends until the window stops answering, as a listener thread would.
        while (window->SendMessageW(3024, 0, 0) == 1)
            ++answered;
    });
    QTimer::singleShot(100, qApp, [] { CPaintManagerUI::PostQuitMessage(0); });
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    auto joined = std::async(std::launch::async, [&] { sender.join(); });
    ASSERT_EQ(joined.wait_for(5s), std::future_status::ready) << "sender left hanging after quit";
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(window->SendMessageW(3024, 0, 0), 0);
}

TEST_F(MessageFixture, PostedMessagesArriveLaterInOrder)
{
    EXPECT_TRUE(window->PostMessageW(1145, 1, 0));
    EXPECT_TRUE(window->PostMessageW(1025, 2, 517));
    EXPECT_TRUE(window->messages.empty()) << "a post is not a call";
    ASSERT_TRUE(PumpUntil([&] { return window->messages.size() == 2; }));
    EXPECT_EQ(window->messages[0], 1145u);
    EXPECT_EQ(window->messages[1], 1025u);
}
}  // namespace
