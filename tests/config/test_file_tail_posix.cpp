// Log tails on POSIX: FIFOs and devices are refused without blocking.
#include "config/file_tail.h"
#include "support/config_test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

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

} // namespace
} // namespace larkspan
