#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <windows.h>

namespace {

// A guard of this run's own, so that a Vindrel running in the same session
// changes nothing.
std::string GuardName()
{
    return "Vindrel test " + std::to_string(GetCurrentProcessId());
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(SingleInstanceWin, SecondGuardInTheSameSessionIsRefused)
{
    const SingleInstance first(GuardName());
    ASSERT_FALSE(first.AnotherIsRunning());
    EXPECT_TRUE(first.Problem().empty()) << first.Problem();
    const SingleInstance second(GuardName());
    EXPECT_TRUE(second.AnotherIsRunning());
    EXPECT_TRUE(second.Problem().empty()) << second.Problem();
}

TEST(SingleInstanceWin, TheGuardIsHeldForTheObjectsLifetime)
{
    {
        const SingleInstance first(GuardName());
    }
    EXPECT_FALSE(SingleInstance(GuardName()).AnotherIsRunning());
}

TEST(SingleInstanceWin, ARefusedStartDoesNotKeepTheNameAlive)
{
    auto first = std::make_unique<SingleInstance>(GuardName());
    const SingleInstance refused(GuardName());
    ASSERT_TRUE(refused.AnotherIsRunning());
    first.reset();
    // The running instance is gone; the refused one, still showing its
    // notice, must not stop the next start.
    EXPECT_FALSE(SingleInstance(GuardName()).AnotherIsRunning());
}

TEST(SingleInstanceWin, ThePlainNameIsTheSessionsLocalName)
{
    const SingleInstance first(GuardName());
    EXPECT_TRUE(SingleInstance("Local\\" + GuardName()).AnotherIsRunning());
    EXPECT_FALSE(SingleInstance("Global\\" + GuardName()).AnotherIsRunning());
}

TEST(SingleInstanceWin, ANameTakenByAnotherKindOfObjectIsAProblemNotAnInstance)
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(GuardName()).c_str());
    ASSERT_NE(mutex, nullptr);
    const SingleInstance guard(GuardName());
    EXPECT_FALSE(guard.AnotherIsRunning());
    EXPECT_FALSE(guard.Problem().empty());
    CloseHandle(mutex);
}

// Run in a child process by the test below: takes the guard named in the
// environment, says so with an event and waits to be killed.
TEST(SingleInstanceHolder, DISABLED_HoldsTheGuardUntilKilled)
{
    const char* name = std::getenv("VINDREL_TEST_GUARD");
    ASSERT_NE(name, nullptr);
    const SingleInstance guard(name);
    ASSERT_FALSE(guard.AnotherIsRunning());
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(std::string(name) + " ready").c_str());
    ASSERT_NE(ready, nullptr);
    SetEvent(ready);
    Sleep(60000);
}

TEST(SingleInstanceWin, AnotherProcessHoldsTheGuardUntilItIsKilled)
{
    const std::string name = GuardName() + " child";
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, Wide(name + " ready").c_str());
    ASSERT_NE(ready, nullptr);
    ASSERT_TRUE(SetEnvironmentVariableW(L"VINDREL_TEST_GUARD", Wide(name).c_str()));

    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=SingleInstanceHolder.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    const DWORD waited = WaitForSingleObject(ready, 20000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the holder did not take the guard";
    if (waited == WAIT_OBJECT_0) {
        EXPECT_TRUE(SingleInstance(name).AnotherIsRunning());
    }

    // Killed, not ended: the system drops the name all the same.
    TerminateProcess(child.hProcess, 9);
    WaitForSingleObject(child.hProcess, 20000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(ready);
    EXPECT_FALSE(SingleInstance(name).AnotherIsRunning());
}

}  // namespace
