// The log's time in the user's long time format as Windows keeps it, in UTF-8 whatever the code page.
#include "platform/log_time.h"
#include "support/wine_locale_win.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

std::tm TimeOfDay(int hour, int minute, int second)
{
    std::tm time {};
    time.tm_year = 126;
    time.tm_mday = 7;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(LogTime, TheUsersLongTimeFormat)
{
    ASSERT_TRUE(test::RunsInTheExpectedLocale());

    struct Row
    {
        const char* locale;
        const char* afternoon;
        const char* midnight;
    };
    const Row rows[] = {
        {"en-US", "2:05:09 PM", "12:00:00 AM"},
        // Chinese day-period marks: code-page 950 bytes here would be mangled text in the log.
        {"zh-TW", "下午2:05:09", "上午12:00:00"},
        {"zh-CN", "14:05:09", "0:00:00"},
    };
    const std::string locale = test::UserLocale();
    for (const Row& row : rows) {
        if (locale != row.locale)
            continue;
        EXPECT_EQ(LongTimeText(TimeOfDay(14, 5, 9)), row.afternoon);
        EXPECT_EQ(LongTimeText(TimeOfDay(0, 0, 0)), row.midnight);
        return;
    }
    GTEST_SKIP() << "no expectation for the user locale " << locale;
}

} // namespace
} // namespace larkspan
