// File text and the ANSI code page: how 8-bit text from a Chinese Windows is read and written back.
#include "wine_locale_win.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace larkspan {
namespace {

TEST(AnsiCodePage, TextRoundTripsAndWhatDoesNotFitIsSaid)
{
    ASSERT_TRUE(test::RunsInTheExpectedLocale());

    struct Row
    {
        unsigned codePage;
        std::string bytes; // text of that code page
        std::wstring text;
        std::string undecodable; // bytes with no character there; empty when every byte has one
        std::wstring unencodable; // a character the code page lacks
    };
    const Row rows[] = {
        // GBK: "设置 网站目录", a lone lead byte at the end, an unassigned byte, and an emoji.
        {936, "\xC9\xE8\xD6\xC3 \xCD\xF8\xD5\xBE\xC4\xBF\xC2\xBC", L"设置 网站目录", "ab\xC9", L"\U0001F600"},
        {1252, "\xE9t\xE9 \xA9", L"été ©", "", L"设置"},
    };
    const unsigned codePage = ::GetACP();
    for (const Row& row : rows) {
        if (row.codePage != codePage)
            continue;
        EXPECT_EQ(WideFromAnsiCodePage(row.bytes), row.text);
        EXPECT_EQ(AnsiCodePageFromWide(row.text), row.bytes);
        if (!row.undecodable.empty()) {
            EXPECT_EQ(WideFromAnsiCodePage(row.undecodable), std::nullopt);
        }
        EXPECT_EQ(AnsiCodePageFromWide(row.unencodable), std::nullopt);
        return;
    }
    GTEST_SKIP() << "no expectation for code page " << codePage;
}

} // namespace
} // namespace larkspan
