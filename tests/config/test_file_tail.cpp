// Reading what a log file gained since an offset: bounded, and never blocked by what is not a file.
#include "config/file_tail.h"
#include "support/config_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

TEST(ReadFileTail, ReadsFromTheOffsetOrTheLastBytesWithinTheLimit)
{
    struct Case
    {
        const char* name;
        std::uint64_t offset;
        std::size_t limit;
        std::string bytes;
        std::uint64_t skipped;
    };
    const Case cases[] = {
        {"what was appended", 4, 100, "appended\n", 0},
        {"nothing new", 13, 100, "", 0},
        {"a file shorter than the offset is read from its start", 99, 100, "old\nappended\n", 0},
        {"a large append: its end, the rest skipped", 4, 3, "ed\n", 6},
        {"a file shorter than the offset, larger than the limit", 99, 5, "nded\n", 8},
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
        EXPECT_EQ(tail.skipped, c.skipped) << c.name;
    }
}

} // namespace
} // namespace larkspan
