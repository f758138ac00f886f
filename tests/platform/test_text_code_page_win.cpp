// The system code page on Windows is the ANSI code page of the user's locale.
#include "platform/text_code_page.h"
#include "support/wine_locale_win.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(TextCodePage, TheSystemCodePageIsTheAnsiCodePage)
{
    ASSERT_TRUE(test::RunsInTheExpectedLocale());
    const struct
    {
        unsigned codePage;
        std::string bytes;
        std::string text;
        std::string unencodable;
    } rows[] = {
        // A settings value from a Chinese Windows: "网站目录" in GBK.
        {936, "DocumentRoot=D:\\\xCD\xF8\xD5\xBE\xC4\xBF\xC2\xBC", "DocumentRoot=D:\\网站目录", "😀"},
        {1252, "caf\xE9 \xA9", "café ©", "中"},
    };
    const unsigned codePage = ::GetACP();
    for (const auto& row : rows) {
        if (row.codePage != codePage)
            continue;
        const auto system = MakeSystemTextCodePage();
        bool complete = false;
        EXPECT_EQ(system->Decode(row.bytes, complete), row.text);
        EXPECT_TRUE(complete);
        EXPECT_EQ(system->Encode(row.text), row.bytes);
        EXPECT_EQ(system->Encode(row.unencodable), std::nullopt);
        return;
    }
    GTEST_SKIP() << "no expectation for code page " << codePage;
}

} // namespace
} // namespace larkspan
