// Programs run to their end with their output kept apart and bounded in time, on Windows.
#include "config/win/wide_text.h"
#include "platform/app_dir.h"
#include "platform/capturing_runner.h"
#include "platform/win/program_path_win.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"
#include "support/wine_locale_win.h"

#include <gtest/gtest.h>
#include <stop_token>
#include <thread>

namespace larkspan {
namespace {

using Outcome = CapturedRun::Outcome;
using namespace std::chrono_literals;

TEST(WindowsCapturingRunner, KeepsEachStreamAndTellsHowTheProgramEnded)
{
    const std::string helper = test::HelperProgram();
    const struct
    {
        const char* name;
        Command command;
        std::chrono::milliseconds limit;
        std::chrono::milliseconds stopAfter; ///< zero: never stopped
        Outcome outcome;
        std::string output;
        std::string error;
    } rows[] = {
        {"streams apart", {helper, {Argument::literal("echo"), Argument::literal("密码 \"x\"")}}, 20s, 0ms,
            Outcome::Exited, "out: 密码 \"x\"\n", "err: 密码 \"x\"\n"},
        {"exit code", {helper, {Argument::literal("unknown")}}, 20s, 0ms, Outcome::Exited, "", ""},
        {"time limit", {helper, {Argument::literal("sleep"), Argument::literal("60000")}}, 500ms, 0ms,
            Outcome::TimedOut, "", ""},
        {"stop requested", {helper, {Argument::literal("sleep"), Argument::literal("60000")}}, 60s, 300ms,
            Outcome::TimedOut, "", ""},
    };
    const auto runner = MakeSystemCapturingRunner();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::stop_source stop;
        std::jthread stopper;
        if (row.stopAfter > 0ms)
            stopper = std::jthread([&] {
                std::this_thread::sleep_for(row.stopAfter);
                stop.request_stop();
            });
        const auto started = std::chrono::steady_clock::now();
        const CapturedRun run = runner->Run(row.command, row.limit, stop.get_token());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
        EXPECT_EQ(run.outcome, row.outcome);
        EXPECT_EQ(run.standardOutput, row.output);
        EXPECT_EQ(run.standardError, row.error);
        if (row.outcome == Outcome::Exited) {
            EXPECT_EQ(run.exitCode, row.output.empty() ? 1 : 0);
        }
    }

    const CapturedRun missing = runner->Run({"C:\\nonexistent\\httpd.exe", {}}, 20s, {});
    EXPECT_EQ(missing.outcome, Outcome::NotStarted);
    EXPECT_TRUE(missing.standardError.starts_with("C:\\nonexistent\\httpd.exe: ")) << missing.standardError;
}

// A checker that calls exit(-1) has exited (0xFFFFFFFF), and only the system's own statuses of an
// exception are crashes.
TEST(WindowsCapturingRunner, AnExitOfMinusOneIsAnExitNotACrash)
{
    const auto runner = MakeSystemCapturingRunner();
    const CapturedRun minusOne
        = runner->Run({test::HelperProgram(), {Argument::literal("exit"), Argument::literal("-1")}}, 20s, {});
    EXPECT_EQ(minusOne.outcome, Outcome::Exited);
    EXPECT_EQ(minusOne.exitCode, -1);
    const CapturedRun crash = runner->Run({test::HelperProgram(), {Argument::literal("crash")}}, 20s, {});
    EXPECT_EQ(crash.outcome, Outcome::Crashed);
}

// The bundle's clients are named without ".exe" (\MySQL\bin\mysqladmin) and run in their own folder,
// whatever the panel's working directory; an empty argument (an empty password) arrives as one.
TEST(WindowsCapturingRunner, AProgramWithoutExtensionStartsInItsOwnFolderWithItsArgumentsWhole)
{
    test::TempDir dir;
    const std::string folder = dir / "MySQL 程序\\bin";
    std::filesystem::create_directories(test::WidePath(folder));
    std::filesystem::copy_file(test::HelperProgram(), test::WidePath(folder + "\\mysqladmin.exe"));
    const auto runner = MakeSystemCapturingRunner();
    const std::string program = folder + "\\mysqladmin";

    const CapturedRun where = runner->Run({program, {Argument::literal("cwd")}}, 20s, {});
    EXPECT_EQ(where.outcome, Outcome::Exited) << where.standardError;
    EXPECT_EQ(where.standardOutput, folder + "\n");

    const CapturedRun arguments
        = runner->Run({program,
                          {Argument::literal("args"), Argument::literal("-uroot"), Argument::literal(""),
                              Argument::literal("password"), Argument::literal("")}},
            20s, {});
    EXPECT_EQ(arguments.standardOutput, "[-uroot]\n[]\n[password]\n[]\n");
}

// System programs come from the system folder and run there, even when the panel's folder and its
// working directory hold programs of the same names.
TEST(WindowsCapturingRunner, SystemProgramsComeFromTheSystemFolder)
{
    test::TempDir dir;
    const std::string own = ExecutableDirectory();
    std::vector<std::filesystem::path> planted;
    for (const char* name : {"cmd.exe", "net.exe"}) {
        for (const std::string& folder : {own, dir.path()}) {
            planted.push_back(test::WidePath(folder + "\\" + name));
            std::filesystem::copy_file(
                test::HelperProgram(), planted.back(), std::filesystem::copy_options::overwrite_existing);
        }
    }
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(test::WidePath(dir.path()));

    const std::wstring system = SystemFolder();
    wchar_t windowsFolder[MAX_PATH] {};
    ::GetWindowsDirectoryW(windowsFolder, MAX_PATH);
    const std::wstring windows = windowsFolder;
    for (const char* name : {"net", "cmd", "notepad.exe", "mmc"}) {
        const std::optional<ProgramPlace> place = PlaceOfProgram(name);
        ASSERT_TRUE(place) << name;
        EXPECT_EQ(place->folder, system) << name;
        EXPECT_TRUE(place->file.starts_with(system + L"\\") || place->file.starts_with(windows + L"\\"))
            << Utf8FromWide(place->file);
    }
    const std::optional<ProgramPlace> explorer = PlaceOfProgram("explorer.exe");
    ASSERT_TRUE(explorer);
    EXPECT_NE(::GetFileAttributesW(explorer->file.c_str()), INVALID_FILE_ATTRIBUTES)
        << Utf8FromWide(explorer->file);

    // The real cmd, which knows "cd" and says where it runs.
    const CapturedRun run = MakeSystemCapturingRunner()->Run(
        {"cmd", {Argument::literal("/c"), Argument::literal("cd")}}, 20s, {});
    std::filesystem::current_path(before);
    for (const auto& path : planted)
        std::filesystem::remove(path);
    EXPECT_EQ(run.outcome, Outcome::Exited) << run.standardError;
    std::wstring said = WideFromUtf8(run.standardOutput).value_or(L"");
    while (!said.empty() && (said.back() == L'\n' || said.back() == L'\r'))
        said.pop_back();
    EXPECT_EQ(::CompareStringOrdinal(said.c_str(), -1, system.c_str(), -1, TRUE), CSTR_EQUAL)
        << run.standardOutput;
}

// Console programs write in the OEM code page (net's "拒绝访问。" on a Chinese Windows), Apache its
// paths in UTF-8: each comes back as the panel's UTF-8.
TEST(WindowsCapturingRunner, OutputIsDecodedFromTheCodePageItWasWrittenIn)
{
    ASSERT_TRUE(test::RunsInTheExpectedLocale());
    const auto runner = MakeSystemCapturingRunner();
    const CapturedRun run
        = runner->Run({test::HelperProgram(), {Argument::literal("console-text")}}, 20s, {});
    const std::string path = "D:/网站/httpd.conf\n";
    ASSERT_TRUE(run.standardError.ends_with(path)) << run.standardError;
    if (::GetOEMCP() == 936) {
        EXPECT_EQ(run.standardError, "拒绝访问。\n" + path);
    }

    // What the panel itself writes for a command line comes back the same way.
    const CapturedRun printed = runner->Run(
        {test::HelperProgram(), {Argument::literal("print"), Argument::literal("网站 ok")}}, 20s, {});
    EXPECT_EQ(printed.standardOutput, "网站 ok\n");
}

TEST(WindowsCapturingRunner, TheProgramsOwnEndIsTheEndOfItsRunAndWhatItLeftBehindIsEnded)
{
    const std::string helper = test::HelperProgram();
    const struct
    {
        const char* name;
        const char* code;
        int exitCode;
        std::string error;
    } rows[] = {
        {"a fatal error and a child holding the output", "255", 255, "PHP Fatal error: Unknown: bad value\n"},
        {"an exit at once and a detached child holding the output", "0", 0, ""},
    };
    const auto runner = MakeSystemCapturingRunner();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto started = std::chrono::steady_clock::now();
        const CapturedRun run
            = runner->Run({helper, {Argument::literal("leave"), Argument::literal(row.code)}}, 30s, {});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_EQ(run.outcome, Outcome::Exited);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.standardError, row.error);
        const DWORD pid = static_cast<DWORD>(std::stoul(run.standardOutput));
        ASSERT_NE(pid, 0u);
        HANDLE sleeper = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
        if (sleeper != nullptr) {
            EXPECT_EQ(::WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0);
            ::CloseHandle(sleeper);
        }
    }
}

} // namespace
} // namespace larkspan
