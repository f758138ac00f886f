#include "config/text_file.h"
#include "support/config_test_support.h"
#include "support/platform_line_end.h"

#include <csignal>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

using test::FailsWithReason;
using test::TempDir;
using test::WriteBytes;

TEST(WriteTextFile, EndsTheLastLineOnceAndNeverAddsAnEmptyLine)
{
    struct Case
    {
        const char* name;
        std::string text;
        std::string written;
    };
    const Case cases[] = {
        {"empty text", "", ""},
        {"terminated CR LF text unchanged", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"unterminated CR LF text", "a\r\nb", "a\r\nb\r\n"},
        {"unterminated LF text", "a\nb", "a\nb\n"},
        {"unterminated CR text", "a\rb", "a\rb\r"},
        {"single line gets the platform line end", "<?php phpinfo(); ?>",
            test::WithPlatformLineEnds("<?php phpinfo(); ?>\n")},
        {"trailing empty line kept, not added", "a\n\n", "a\n\n"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteTextFile(dir / "out.txt", c.text).ok()) << c.name;
        EXPECT_EQ(FileContents(dir / "out.txt"), c.written) << c.name;
    }
}

TEST(WriteFileAtomically, ReportsFailuresAndLeavesTheOriginal)
{
    TempDir dir;
    const std::string readOnly = dir / "ro.txt";
    WriteBytes(readOnly, "keep");
    ::chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(dir / "a-directory");
    WriteBytes(dir / "plain", "x");

    struct Case
    {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {readOnly, "Permission denied"},
        {dir / "missing" + test::kPathSeparator + "f.txt", "No such file or directory"},
        {dir / "a-directory", "Is a directory"},
        {dir / "plain" + test::kPathSeparator + "f.txt", "Not a directory"},
        {std::string(test::kDeviceFile), "不是普通文件（是 FIFO、设备或套接字）"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(FailsWithReason(WriteFileAtomically(c.path, "new"), c.path, c.reason));
    EXPECT_EQ(FileContents(readOnly), "keep");
    EXPECT_EQ(test::EntryCount(dir.path()), 3u);
}

TEST(ReadWholeFile, ReadsBytesAndReportsFailures)
{
    TempDir dir;
    const std::string binary("\0\xff\r\n\x80", 5);
    WriteBytes(dir / "bin", binary);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(dir / "bin", content).ok());
    EXPECT_EQ(content, binary);

    bool missing = false;
    EXPECT_TRUE(FailsWithReason(
        ReadWholeFile(dir / "none", content, missing), dir / "none", "No such file or directory"));
    EXPECT_TRUE(missing);
    EXPECT_TRUE(FailsWithReason(ReadWholeFile(dir.path(), content, missing), dir.path(), "Is a directory"));
    EXPECT_FALSE(missing);
    EXPECT_EQ(content, binary);
}

} // namespace
} // namespace larkspan
