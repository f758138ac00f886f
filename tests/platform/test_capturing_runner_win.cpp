// Programs run to their end with their output kept apart and bounded in time, on Windows.
#include "platform/capturing_runner.h"
#include "support/test_support_win.h"

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
