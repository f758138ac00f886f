#include "config/directive.h"
#include "config/directive_engine.h"
#include "config/text_lines.h"
#include "support/config_test_support.h"
#include "support/platform_line_end.h"

#include <gtest/gtest.h>
#include <optional>
#include <string_view>
#include <utility>

namespace larkspan {
namespace {

using namespace std::string_literals;
using test::TempDir;
using test::WriteBytes;

struct RewriteCase
{
    const char* name;
    std::string content;
    const char* directive;
    const char* value;
    std::string expected;
};

// What RewriteDirective writes: the rewritten text with the shared end-of-file rule.
std::string Rewritten(const RewriteCase& c)
{
    std::string text = RewriteDirectiveText(c.content, c.directive, c.value);
    TerminateLastLine(text);
    return text;
}

TEST(RewriteDirectiveText, RewritesWholeWordDirectiveLines)
{
    const RewriteCase cases[] = {
        {"plain line", "Listen 80\r\n", "Listen", "81", "Listen 81\r\n"},
        {"indented by blanks moves to the first column", "    Listen 80\r\n", "Listen", "81",
            "Listen 81\r\n"},
        {"commented out stays", "#Listen 12.34.56.78:80\r\n", "Listen", "81", "#Listen 12.34.56.78:80\r\n"},
        {"tab before name stays", "\tListen 80\r\n", "Listen", "81", "\tListen 80\r\n"},
        {"other case stays", "listen 80\r\n", "Listen", "81", "listen 80\r\n"},
        {"every match replaced", "Listen 80\r\nX 1\r\n<VirtualHost>\r\n  Listen 8080\r\n", "Listen", "81",
            "Listen 81\r\nX 1\r\n<VirtualHost>\r\nListen 81\r\n"},
        {"longer word kept", "ListenBacklog 511\r\nServerNameX a\r\n", "Listen", "81",
            "ListenBacklog 511\r\nServerNameX a\r\n"},
        {"tab after name matches", "Listen\t80\r\n", "Listen", "81", "Listen 81\r\n"},
        {"name alone matches", "Listen\r\n", "Listen", "81", "Listen 81\r\n"},
        {"name alone at end of file", "Listen", "Listen", "81", test::WithPlatformLineEnds("Listen 81\n")},
        {"later occurrence ignored", "Port Listen 80\r\n", "Listen", "81", "Port Listen 80\r\n"},
        {"unterminated last line gets the file's line end", "A 1\r\nB 2", "Listen", "81", "A 1\r\nB 2\r\n"},
        {"no match, nothing changes", "A 1\r\nB 2\r\nC 3\r\n", "Listen", "81", "A 1\r\nB 2\r\nC 3\r\n"},
        {"empty file stays empty", "", "Listen", "81", ""},
        {"LF-only file keeps its lines", "# x\nListen 80\nServerName a\n", "Listen", "81",
            "# x\nListen 81\nServerName a\n"},
        {"LF-only first line holding the directive", "Listen 80\nDocumentRoot /x\n", "Listen", "81",
            "Listen 81\nDocumentRoot /x\n"},
        {"CR-only line ends kept", "A 1\rListen 80\rB 2\r", "Listen", "81", "A 1\rListen 81\rB 2\r"},
        {"each line keeps its own line end", "A\r\nListen 80\nB\r", "Listen", "81", "A\r\nListen 81\nB\r"},
        {"quoted value used as given", "DocumentRoot \"C:/old\"\r\n", "DocumentRoot", "\"D:/www\"",
            "DocumentRoot \"D:/www\"\r\n"},
        {"byte-order mark line is not a directive line", "\xEF\xBB\xBFListen 80\n", "Listen", "81",
            "\xEF\xBB\xBFListen 80\n"},
        {"non-UTF-8 and NUL bytes pass through", "\xff\x00\xfe\nListen 1\n"s, "Listen", "81",
            "\xff\x00\xfe\nListen 81\n"s},
    };
    for (const RewriteCase& c : cases)
        EXPECT_EQ(Rewritten(c), c.expected) << c.name;
}

TEST(ReadDirective, ReadsALineAsApacheDoes)
{
    const struct
    {
        const char* line;
        std::optional<std::pair<std::string, std::string>> nameAndArgument;
        std::string_view rest; ///< what follows the argument
    } rows[] = {
        {"Listen 80", std::pair {"Listen", "80"}, ""},
        {"\t  Include \"conf/a b.conf\" # x", std::pair {"Include", "conf/a b.conf"}, " # x"},
        {"ServerName\twww", std::pair {"ServerName", "www"}, ""},
        {"DocumentRoot \"D:/www", std::pair {"DocumentRoot", "D:/www"}, ""},
        {"#Include conf/vhosts.conf", std::pair {"#Include", "conf/vhosts.conf"}, ""},
        {"</VirtualHost>", std::pair {"</VirtualHost>", ""}, ""},
        {" \t ", std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const auto& row : rows) {
        const std::optional<DirectiveLine> read = ReadDirective(row.line);
        ASSERT_EQ(read.has_value(), row.nameAndArgument.has_value()) << row.line;
        if (!read)
            continue;
        EXPECT_EQ(read->name, row.nameAndArgument->first) << row.line;
        EXPECT_EQ(read->argument, row.nameAndArgument->second) << row.line;
        if (!read->argument.empty()) {
            EXPECT_EQ(std::string_view(row.line).substr(read->argumentEnd), row.rest) << row.line;
        }
    }
}

TEST(RedirectInclude, PointsTheIncludeOfTheLiveFileAtTheCandidate)
{
    const std::string candidate = "/tmp/c/vhosts.conf";
    const struct
    {
        const char* name;
        std::string conf;
        std::string redirected; // empty: unchanged
    } rows[] = {
        {"relative to the ServerRoot given", "Include conf/vhosts.conf\r\n",
            "Include \"/tmp/c/vhosts.conf\"\r\n"},
        {"quoted, indented, optional", "  IncludeOptional \"conf/vhosts.conf\" # x\n",
            "  IncludeOptional \"/tmp/c/vhosts.conf\" # x\n"},
        {"indented by a tab, as Apache reads it", "\tInclude conf/vhosts.conf\n",
            "\tInclude \"/tmp/c/vhosts.conf\"\n"},
        {"absolute, no line end", "include /b/Apache2/conf/../conf/vhosts.conf",
            "include \"/tmp/c/vhosts.conf\""},
        {"after a ServerRoot of the file", "ServerRoot /b\nInclude Apache2/conf/vhosts.conf\n",
            "ServerRoot /b\nInclude \"/tmp/c/vhosts.conf\"\n"},
        {"another file", "Include conf/extra.conf\n", ""},
        {"a comment", "#Include conf/vhosts.conf\n", ""},
        {"a ServerRoot elsewhere", "ServerRoot /elsewhere\nInclude conf/vhosts.conf\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool redirected = false;
        const std::string result
            = RedirectInclude(row.conf, "/b/Apache2", "/b/Apache2/conf/vhosts.conf", candidate, redirected);
        EXPECT_EQ(redirected, !row.redirected.empty());
        EXPECT_EQ(result, row.redirected.empty() ? row.conf : row.redirected);
    }
}

TEST(RewriteDirectiveText, HandlesATenMegabyteLine)
{
    const std::string big = "Listen " + std::string(10 * 1024 * 1024, '8') + "\nX\n";
    EXPECT_EQ(RewriteDirectiveText(big, "Listen", "81"), "Listen 81\nX\n");
}

class RewriteDirectiveFile : public ::testing::Test
{
protected:
    TempDir m_dir;
};

TEST_F(RewriteDirectiveFile, FailsWithoutChangingAnything)
{
    const std::string readOnly = m_dir / "ro.conf";
    WriteBytes(readOnly, "Listen 80\n");
    ::chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(m_dir / "dir.conf");

    struct Case
    {
        std::string file;
        const char* directive;
        const char* value;
        const char* reason;
    };
    const Case cases[] = {
        {m_dir / "missing.conf", "Listen", "81", "No such file or directory"},
        {readOnly, "Listen", "81", "Permission denied"},
        {m_dir / "dir.conf", "Listen", "81", "Is a directory"},
        {readOnly, "", "81", "指令的名称为空"},
        {readOnly, "Listen", "81\nLoadModule x", "Listen 的值含有换行符或NUL字符"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(test::FailsWithReason(RewriteDirective(c.file, c.directive, c.value), c.file, c.reason));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing.conf"));
    EXPECT_EQ(FileContents(readOnly), "Listen 80\n");
    EXPECT_EQ(test::EntryCount(m_dir.path()), 2u);
}

} // namespace
} // namespace larkspan
