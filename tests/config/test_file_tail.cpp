// Reading what a log file gained since an offset: bounded, and never blocked by what is not a file.
#include "config/file_tail.h"
#include "support/config_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(ReadFileTail, ReadsFromTheOffsetWithinTheLimit)
{
    struct Case
    {
        const char* name;
        std::uint64_t offset;
        std::size_t limit;
        std::string bytes;
        bool cut;
    };
    const Case cases[] = {
        {"what was appended", 4, 100, "appended\n", false},
        {"nothing new", 13, 100, "", false},
        {"a file shorter than the offset is read from its start", 99, 100, "old\nappended\n", false},
        {"a large append is cut at the limit", 4, 3, "app", true},
    };
    TempDir dir;
    WriteBytes(dir / "error.log", "old\nappended\n");
    for (const Case& c : cases) {
        FileTail tail;
        bool missing = true;
        ASSERT_TRUE(ReadFileTail(dir / "error.log", c.offset, c.limit, tail, missing).ok()) << c.name;
        EXPECT_FALSE(missing) << c.name;
        EXPECT_EQ(tail.bytes, c.bytes) << c.name;
        EXPECT_EQ(tail.end, 13u) << c.name;
        EXPECT_EQ(tail.cut, c.cut) << c.name;
    }
}

#ifndef _WIN32
TEST(ReadFileTail, RefusesWhatIsNotARegularFileWithoutBlocking)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    struct Case
    {
        std::string path;
        std::string message;
        bool missing;
    };
    const Case cases[] = {
        {dir / "fifo", dir / "fifo: 不是普通文件（是 FIFO、设备或套接字）", false},
        {dir / "folder", dir / "folder: Is a directory", false},
        {"/dev/zero", "/dev/zero: 不是普通文件（是 FIFO、设备或套接字）", false},
        {dir / "missing.log", dir / "missing.log: No such file or directory", true},
    };
    for (const Case& c : cases) {
        FileTail tail;
        bool missing = false;
        const Status status = ReadFileTail(c.path, 0, 100, tail, missing);
        EXPECT_FALSE(status.ok()) << c.path;
        EXPECT_EQ(status.message(), c.message);
        EXPECT_EQ(missing, c.missing) << c.path;
        EXPECT_EQ(RegularFileSize(c.path), std::nullopt) << c.path;
    }
    WriteBytes(dir / "file", "12345");
    EXPECT_EQ(RegularFileSize(dir / "file"), 5u);
}
#endif

} // namespace
} // namespace larkspan
