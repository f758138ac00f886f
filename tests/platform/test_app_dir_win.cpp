#include "platform/app_dir.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(ExecutableDirectory, IsTheFolderOfTheRunningProgram)
{
    const std::string folder = ExecutableDirectory();
    ASSERT_GT(folder.size(), 3u);
    EXPECT_EQ(folder[1], ':') << folder;
    EXPECT_NE(folder.back(), '\\') << folder;
    EXPECT_NE(::GetFileAttributesW(test::WidePath(folder + "\\" + LARKSPAN_PLATFORM_HELPER).c_str()),
        INVALID_FILE_ATTRIBUTES)
        << folder;
}

// The helper copied into a folder reports ExecutableDirectory() as it sees it there.
TEST(ExecutableDirectory, KeepsTheBackslashOnlyAtTheTopOfADrive)
{
    test::TempDir dir;
    const std::string named = dir / "服务器 ü";
    fs::create_directory(test::WidePath(named));
    // C: is the Wine prefix's own drive, so its top is ours to use.
    const std::string top = "C:\\larkspan-appdir-" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string rows[][2] = {
        {named + "\\helper.exe", named},
        {top, "C:\\"},
    };
    for (const auto& [program, expected] : rows) {
        fs::copy_file(test::HelperProgram(), test::WidePath(program), fs::copy_options::overwrite_existing);
        const std::string report = dir / "report.txt";
        fs::remove(report);
        test::ChildProcess child("\"" + program + "\" appdir \"" + report + "\"");
        EXPECT_EQ(child.Wait(10s), 0u) << program;
        EXPECT_EQ(FileContents(test::WidePath(report)), expected) << program;
    }
    fs::remove(test::WidePath(top));
}

} // namespace
} // namespace larkspan
