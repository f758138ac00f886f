// The log's time on POSIX systems: the locale's own time with seconds. Windows: test_log_time_win.cpp.
#include "platform/log_time.h"

#include <clocale>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace larkspan {
namespace {

TEST(LogTime, LongTimeInTheCLocale)
{
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    std::tm time {};
    time.tm_hour = 14;
    time.tm_min = 5;
    time.tm_sec = 9;
    EXPECT_EQ(LongTimeText(time), "14:05:09");
    time.tm_hour = 0;
    time.tm_min = 0;
    time.tm_sec = 0;
    EXPECT_EQ(LongTimeText(time), "00:00:00");
    std::setlocale(LC_TIME, saved.c_str());
}

} // namespace
} // namespace larkspan
