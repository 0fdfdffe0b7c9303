// A second start brings the running window forward: the running instance
// listens on the event named after its guard, a second start sets it.
#include "app/InstanceActivation.h"
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

namespace {

std::string UniqueGuard(const char* what)
{
    return std::string("Vindrel test ") + what + " " + std::to_string(GetCurrentProcessId());
}

bool WaitFor(const bool& flag, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!flag && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return flag;
}

TEST(WinInstanceActivation, ASecondStartAsksTheRunningInstanceToShowItself)
{
    const std::string name = UniqueGuard("show");
    const SingleInstance first(name);
    ASSERT_FALSE(first.AnotherIsRunning());
    ActivationListener listener(first);
    ASSERT_TRUE(listener.IsListening());
    int activations = 0;
    bool activated = false;
    QObject::connect(&listener, &ActivationListener::Activated, &listener, [&] {
        ++activations;
        activated = true;
    });

    const SingleInstance second(name);
    ASSERT_TRUE(second.AnotherIsRunning());
    EXPECT_TRUE(AskRunningInstanceToShow(second));
    EXPECT_TRUE(WaitFor(activated, 5000));
    EXPECT_EQ(activations, 1);

    activated = false;
    EXPECT_TRUE(AskRunningInstanceToShow(second));
    EXPECT_TRUE(WaitFor(activated, 5000)) << "every second start is heard, not only the first";
}

TEST(WinInstanceActivation, NobodyListensOnceTheRunningInstanceIsGone)
{
    const std::string name = UniqueGuard("gone");
    {
        const SingleInstance first(name);
        const ActivationListener listener(first);
        ASSERT_TRUE(listener.IsListening());
    }
    const SingleInstance later(name);
    EXPECT_FALSE(later.AnotherIsRunning());
    EXPECT_FALSE(AskRunningInstanceToShow(later)) << "the event went with its only holder";
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
