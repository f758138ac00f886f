// The log's time in the user's long time format as Windows keeps it, in UTF-8 whatever the code page.
#include "log_time.h"
#include "wide_text.h"

#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

std::string UserLocale()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] {};
    const int length = ::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return length > 1 ? Utf8FromWide(std::wstring_view(name, static_cast<std::size_t>(length - 1))) : "";
}

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
    // Set where the test is registered for a given Wine locale, so a missing locale cannot pass unseen.
    if (const char* expected = std::getenv("LARKSPAN_EXPECT_LOCALE")) {
        ASSERT_EQ(UserLocale(), expected);
    }

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
    const std::string locale = UserLocale();
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
