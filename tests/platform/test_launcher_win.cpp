#include "platform/launcher.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

/// The helper's report once it has been written whole; empty when none came in time.
std::string AwaitReport(const std::string& file)
{
    std::string report;
    test::Eventually(
        [&] {
            report = FileContents(test::WidePath(file));
            return !report.empty();
        },
        10s);
    return report;
}

TEST(WindowsLauncher, StartsTheProgramWithItsWindowStyleAndArgumentsIntact)
{
    test::TempDir dir;
    // A folder with a blank and non-ASCII characters: the command line is quoted and converted.
    const std::string folder = dir / "程序 目录";
    fs::create_directory(test::WidePath(folder));
    const std::string program = folder + "\\probe.exe";
    fs::copy_file(test::HelperProgram(), test::WidePath(program));
    const auto launcher = MakeSystemLauncher(dir.path(), "");

    struct Row
    {
        WindowStyle style;
        int showWindow;
    };
    const Row rows[] = {
        {WindowStyle::Hidden, SW_HIDE},
        {WindowStyle::NormalFocus, SW_SHOWNORMAL},
        {WindowStyle::MinimizedFocus, SW_SHOWMINIMIZED},
    };
    for (const Row& row : rows) {
        const std::string report = dir / ("report-" + std::to_string(row.showWindow) + ".txt");
        const Command command {program,
            {Argument::literal("probe"), Argument::path(report), Argument::literal("密码 \"quoted\""),
                Argument::literal("tail\\"), Argument::url("http://localhost:81/?a=1&b=2")}};
        ASSERT_TRUE(launcher->LaunchProgram(command, row.style).ok());
        EXPECT_EQ(AwaitReport(report),
            std::to_string(row.showWindow) + "\n密码 \"quoted\"\ntail\\\nhttp://localhost:81/?a=1&b=2\n");
    }
}

// The MySQL console and other programs of the bundle may be named without ".exe", as the Windows
// command line finds them; an empty argument still arrives as one.
TEST(WindowsLauncher, AProgramWithoutExtensionStartsAndAnEmptyArgumentArrives)
{
    test::TempDir dir;
    const std::string folder = dir / "程序 目录";
    fs::create_directory(test::WidePath(folder));
    fs::copy_file(test::HelperProgram(), test::WidePath(folder + "\\probe.exe"));
    const std::string report = dir / "report.txt";
    const Command command {folder + "\\probe",
        {Argument::literal("probe"), Argument::path(report), Argument::literal(""), Argument::literal("x")}};
    ASSERT_TRUE(MakeSystemLauncher(dir.path(), "")->LaunchProgram(command, WindowStyle::Hidden).ok());
    EXPECT_EQ(AwaitReport(report), "0\n\nx\n");
}

TEST(WindowsLauncher, AProgramThatCannotStartIsNamed)
{
    test::TempDir dir;
    fs::create_directory(dir / "a-folder.exe");
    const auto launcher = MakeSystemLauncher(dir.path(), "");
    const std::string rows[] = {dir / "missing.exe", "larkspan-no-such-program", dir / "a-folder.exe", ""};
    for (const std::string& program : rows) {
        const Status status = launcher->LaunchProgram(Command {program, {}}, WindowStyle::Hidden);
        ASSERT_FALSE(status.ok()) << program;
        const std::string named = (program.empty() ? "(no program)" : program) + ": ";
        EXPECT_TRUE(status.message().starts_with(named) && status.message().size() > named.size())
            << status.message();
    }
}

TEST(WindowsLauncher, AHiddenProgramWritesIntoTheLog)
{
    test::TempDir dir;
    const std::string log = dir / "services.log";
    const auto launcher = MakeSystemLauncher(dir.path(), log);
    const Command command {
        test::HelperProgram(), {Argument::literal("echo"), Argument::literal("net start")}};
    const std::string expected = "out: net start\nerr: net start\n";
    std::string written;
    // One run after the other: under Wine two processes' appends once landed at the same offset, and what
    // is checked here is that a second run appends rather than overwrites.
    for (const std::string& wanted : {expected, expected + expected}) {
        ASSERT_TRUE(launcher->LaunchProgram(command, WindowStyle::Hidden).ok());
        EXPECT_TRUE(test::Eventually(
            [&] {
                written = FileContents(test::WidePath(log));
                return written.size() >= wanted.size();
            },
            10s))
            << written;
        EXPECT_EQ(written, wanted);
    }
}

// A log that cannot take the output (a folder, a device) never stops the program from starting.
TEST(WindowsLauncher, AProgramStartsWhateverStandsInTheLogsPlace)
{
    test::TempDir dir;
    const std::string logs[] = {dir.path(), "NUL", dir / "missing" + "\\services.log"};
    int run = 0;
    for (const std::string& log : logs) {
        const std::string report = dir / ("report-" + std::to_string(run++) + ".txt");
        const Command probe {test::HelperProgram(), {Argument::literal("probe"), Argument::path(report)}};
        ASSERT_TRUE(MakeSystemLauncher(dir.path(), log)->LaunchProgram(probe, WindowStyle::Hidden).ok())
            << log;
        EXPECT_EQ(AwaitReport(report), "0\n") << log;
    }
}

} // namespace
} // namespace larkspan
