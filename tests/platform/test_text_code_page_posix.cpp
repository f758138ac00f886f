// The system code page on POSIX systems: the locale's. Windows: test_text_code_page_win.cpp.
#include "platform/text_code_page.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace larkspan {
namespace {

TEST(TextCodePage, TheSystemCodePageFollowsTheLocaleAndTakesPlainCForUtf8)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string old = saved ? saved : "";
    ::setenv("LC_ALL", "C", 1);
    bool complete = false;
    EXPECT_EQ(MakeSystemTextCodePage()->Decode("\xE4\xB8\xAD", complete), "中");
    EXPECT_TRUE(complete);
    if (saved)
        ::setenv("LC_ALL", old.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
}

} // namespace
} // namespace larkspan
