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

// Under a Chinese locale: console programs print GBK (OEM 936), a line that is UTF-8 stays UTF-8;
// paths go to the file layer and to Apache in UTF-8, and a GBK line of an Apache file is shown but
// kept as its bytes unless changed.
TEST(TextCodePage, ConsoleAndPathCodePages)
{
    ASSERT_TRUE(test::RunsInTheExpectedLocale());
    if (::GetOEMCP() != 936 || ::GetACP() != 936)
        GTEST_SKIP() << "for a Chinese locale";
    const auto console = MakeConsoleTextCodePage();
    const auto path = MakePathCodePage();
    const auto settings = MakeSystemTextCodePage();
    bool complete = false;
    EXPECT_EQ(console->Decode(
                  "\xBE\xDC\xBE\xF8\xB7\xC3\xCE\xCA\xA1\xA3\r\nD:/\xE7\xBD\x91\xE7\xAB\x99\n", complete),
        "拒绝访问。\r\nD:/网站\n");
    EXPECT_TRUE(complete);

    const std::string gbkFolder = "D:\\\xCD\xF8\xD5\xBE";
    EXPECT_EQ(PathFromFileText(gbkFolder, *settings, *path), "D:\\网站");
    EXPECT_EQ(path->Encode("D:/网站"), std::optional<std::string>("D:/\xE7\xBD\x91\xE7\xAB\x99"));
    EXPECT_EQ(path->Decode("# \xCD\xF8\xD5\xBE\n", complete), "# 网站\n");
    EXPECT_FALSE(complete);
    // Bytes that are no text of the settings' code page stay as they are.
    EXPECT_EQ(PathFromFileText("D:\\\x81", *settings, *path), "D:\\\x81");
}

} // namespace
} // namespace larkspan
