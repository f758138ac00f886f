// The runner behind the password change: outcomes reported on the caller's thread, the time limit,
// a child that can never prompt on the panel's terminal, and nothing left running or reported once
// the runner is gone.
#include "platform/threaded_program_runner.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>
#include <sstream>
#include <thread>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
using Outcome = CapturedRun::Outcome;

// Stands in for a window's event loop: tasks posted from any thread, run by the test's thread.
class PostedTasks final
{
public:
    ThreadedProgramRunner::Post Poster()
    {
        return [this](std::function<void()> task) {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
            m_posted.notify_one();
        };
    }

    /// Runs the next task, waiting up to `wait` for one; false when none came.
    bool RunNext(std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, wait, [this] { return !m_tasks.empty(); }))
            return false;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

CapturedRun RunToEnd(const Command& command, std::chrono::milliseconds limit = 5s)
{
    const auto capturing = MakeSystemCapturingRunner();
    PostedTasks tasks;
    ThreadedProgramRunner runner(*capturing, tasks.Poster());
    std::optional<CapturedRun> result;
    std::thread::id reportedOn;
    runner.Run(command, limit, [&](const CapturedRun& run) {
        result = run;
        reportedOn = std::this_thread::get_id();
    });
    while (!result && tasks.RunNext(20s)) { }
    EXPECT_EQ(reportedOn, std::this_thread::get_id()) << "reported off the caller's thread";
    return result.value_or(CapturedRun {});
}

Command Shell(std::string script)
{
    return Command {"/bin/sh", {Argument::literal("-c"), Argument::literal(std::move(script))}};
}

// Whether the process has ended; it may linger as a zombie of whoever adopted it.
bool Ended(pid_t pid)
{
    const std::string stat = FileContents("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close == std::string::npos || stat.compare(close + 1, 3, " Z ") == 0;
}

bool EndsWithin(pid_t pid, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!Ended(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    return Ended(pid);
}

TEST(ThreadedProgramRunner, ReportsHowTheProgramEnded)
{
    struct Row
    {
        const char* name;
        Command command;
        std::chrono::milliseconds limit;
        Outcome outcome;
        int exitCode;
        std::string standardOutput;
        std::string standardError;
    };
    const Row rows[] {
        {"success with its output", Shell("echo done"), 5s, Outcome::Exited, 0, "done\n", ""},
        {"both streams, apart", Shell("echo out; echo denied >&2; exit 1"), 5s, Outcome::Exited, 1, "out\n",
            "denied\n"},
        {"stdin is closed, not inherited", Shell("read line; echo \"[$line]\" >&2; exit 3"), 5s,
            Outcome::Exited, 3, "", "[]\n"},
        // mariadb-admin's bare -p asks on /dev/tty even with stdin closed; in a session of its own
        // the child has no terminal to ask on.
        {"a session of its own", Shell("set -- $(cat /proc/$$/stat); [ \"$6\" = \"$$\" ] && echo own >&2"),
            5s, Outcome::Exited, 0, "", "own\n"},
        {"killed at the time limit", Shell("sleep 30"), 300ms, Outcome::TimedOut, -1, "", ""},
        {"a missing program is named", Command {"/nonexistent/mysqladmin", {}}, 5s, Outcome::NotStarted, -1,
            "", "/nonexistent/mysqladmin: No such file or directory"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CapturedRun result = RunToEnd(row.command, row.limit);
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(result.exitCode, row.exitCode);
        EXPECT_EQ(result.standardOutput, row.standardOutput);
        EXPECT_EQ(result.standardError, row.standardError);
    }
}

// A wrapper script's own child (mysqladmin behind a wrapper) ends with it at the time limit.
TEST(ThreadedProgramRunner, TheTimeLimitEndsWhatTheProgramStarted)
{
    const test::TempDir folder;
    const std::string pidFile = folder.path() + "/grandchild";
    const CapturedRun result = RunToEnd(Shell("sleep 30 & echo $! > " + pidFile + "; wait"), 500ms);
    EXPECT_EQ(result.outcome, Outcome::TimedOut);
    pid_t grandchild = 0;
    ASSERT_TRUE(std::istringstream(FileContents(pidFile)) >> grandchild);
    EXPECT_TRUE(EndsWithin(grandchild, 3s)) << "the wrapper's child is still running";
    ::kill(grandchild, SIGKILL);
}

// Closing the panel while the client runs: the client and its child go at once, and the report
// that was on its way reaches nobody.
TEST(ThreadedProgramRunner, DestroyedMidRunItKillsTheProgramWithoutAReport)
{
    const test::TempDir folder;
    const std::string pidFile = folder.path() + "/pids";
    const auto capturing = MakeSystemCapturingRunner();
    PostedTasks tasks;
    bool reported = false;
    auto runner = std::make_unique<ThreadedProgramRunner>(*capturing, tasks.Poster());
    runner->Run(
        Shell("sleep 30 & echo $$ $! > " + pidFile + ".new && mv " + pidFile + ".new " + pidFile + "; wait"),
        60s, [&](const CapturedRun&) { reported = true; });

    pid_t program = 0;
    pid_t child = 0;
    for (int wait = 0; wait < 500 && !(std::istringstream(FileContents(pidFile)) >> program >> child); ++wait)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(child, 0) << "the program did not start";

    const auto started = std::chrono::steady_clock::now();
    runner.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(EndsWithin(program, 1s)) << "the program is still running";
    EXPECT_TRUE(EndsWithin(child, 1s)) << "the program's child is still running";
    while (tasks.RunNext(0ms)) { }
    EXPECT_FALSE(reported);
    ::kill(child, SIGKILL);
}

} // namespace
} // namespace larkspan
