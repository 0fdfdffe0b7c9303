#include "base/ErrorText.h"

#include <cerrno>
#include <clocale>
#include <gtest/gtest.h>

namespace {

TEST(ErrorText, EnglishWhateverTheLocale)
{
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(ErrorText(ENETUNREACH), "Network is unreachable");
    EXPECT_EQ(ErrorText(EADDRINUSE), "Address already in use");
    EXPECT_EQ(ErrorText(0), "error 0");
    EXPECT_EQ(ErrorText(99999), "error 99999");
}

TEST(ErrorText, EnglishUnderAChineseLocale)
{
    if (!std::setlocale(LC_ALL, "zh_CN.GB18030"))
        GTEST_SKIP() << "locale zh_CN.GB18030 is not installed (scripts/setup.sh generates it)";
    const std::string text = ErrorText(ENETUNREACH);
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(text, "Network is unreachable");
}

}  // namespace
