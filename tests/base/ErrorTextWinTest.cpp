#include "base/ErrorText.h"

#include <gtest/gtest.h>

#include <winsock2.h>

namespace {

TEST(ErrorText, NamesWindowsSocketsAndSystemErrors)
{
    // The texts are the system's own; what matters is that each is one
    // line of words, not a number or an empty string.
    for (const int error : {WSAEADDRINUSE, WSAENETUNREACH, WSAEACCES, static_cast<int>(ERROR_ACCESS_DENIED)}) {
        SCOPED_TRACE(error);
        const std::string text = ErrorText(error);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text.find("error "), std::string::npos) << text;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
    }
    EXPECT_EQ(ErrorText(0), "error 0");
    EXPECT_EQ(ErrorText(987654321), "error 987654321");
}

}  // namespace
