// Programs run to their end with their output kept apart, bounded in time and in what is kept.
#include "platform/capturing_runner.h"
#include "support/file_contents.h"

#include <gtest/gtest.h>
#include <stop_token>
#include <thread>

namespace larkspan {
namespace {

using Outcome = CapturedRun::Outcome;
using namespace std::chrono_literals;

Command Shell(std::string script)
{
    return {"/bin/sh", {Argument::literal("-c"), Argument::literal(std::move(script))}};
}

TEST(CapturingRunner, KeepsEachStreamAndTellsHowTheProgramEnded)
{
    const struct
    {
        const char* name;
        Command command;
        Outcome outcome;
        int exitCode;
        std::size_t outputSize;
        std::string error;
    } rows[] = {
        {"streams apart, exit code", Shell("printf out; printf err >&2; exit 3"), Outcome::Exited, 3, 3,
            "err"},
        {"stdin is closed", Shell("cat; echo $? >&2"), Outcome::Exited, 0, 0, "0\n"},
        {"both pipes fuller than their buffers",
            Shell("head -c 300000 /dev/zero; head -c 300000 /dev/zero | tr '\\0' x >&2; exit 0"),
            Outcome::Exited, 0, 300000, std::string(300000, 'x')},
        {"killed by a signal", Shell("kill -SEGV $$"), Outcome::Crashed, -1, 0, ""},
        {"missing program", {"/nonexistent/httpd.exe", {}}, Outcome::NotStarted, -1, 0,
            "/nonexistent/httpd.exe: No such file or directory"},
    };
    const auto runner = MakeSystemCapturingRunner();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CapturedRun run = runner->Run(row.command, 20s, {});
        EXPECT_EQ(run.outcome, row.outcome);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.standardOutput.size(), row.outputSize);
        EXPECT_EQ(run.standardError, row.error);
    }
}

TEST(CapturingRunner, TheTimeLimitOrAStopEndsTheProgramAndWhatItStarted)
{
    const struct
    {
        const char* name;
        std::chrono::milliseconds limit;
        std::chrono::milliseconds stopAfter; ///< zero: never stopped
    } rows[] = {
        {"time limit", 500ms, 0ms},
        {"stop requested", 60s, 300ms},
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
        const CapturedRun run = runner->Run(Shell("sleep 60 & echo $!; wait"), row.limit, stop.get_token());
        EXPECT_LT(std::chrono::steady_clock::now() - started, row.limit > 10s ? row.stopAfter + 1s : 10s);
        EXPECT_EQ(run.outcome, Outcome::TimedOut);

        // The background sleep went with it: gone, or a zombie waiting for its new parent, once the
        // signal has been delivered.
        const std::string pid = run.standardOutput.substr(0, run.standardOutput.find('\n'));
        ASSERT_FALSE(pid.empty());
        const auto ended = [&] {
            const std::string stat = FileContents("/proc/" + pid + "/stat");
            return stat.empty() || stat.compare(stat.rfind(')'), 3, ") Z") == 0;
        };
        for (int wait = 0; wait < 100 && !ended(); ++wait)
            std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(ended()) << FileContents("/proc/" + pid + "/stat");
    }
}

} // namespace
} // namespace larkspan
