#include "base/ErrorText.h"

#include <cerrno>
#include <clocale>
#include <gtest/gtest.h>

namespace {

TEST(ErrorText, EnglishWhateverTheLocale)
{
    if (std::setlocale(LC_ALL, "zh_CN.GB18030")) {
        EXPECT_EQ(ErrorText(ENETUNREACH), "Network is unreachable");
    }
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(ErrorText(ENETUNREACH), "Network is unreachable");
    EXPECT_EQ(ErrorText(EADDRINUSE), "Address already in use");
    EXPECT_EQ(ErrorText(0), "error 0");
    EXPECT_EQ(ErrorText(99999), "error 99999");
}

}  // namespace
