// The runner behind the password change: outcomes, time limit, and a child that can never prompt
// on the panel's terminal.
#include "qt_program_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <signal.h>
#include <unistd.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
using Outcome = CapturedRun::Outcome;

CapturedRun RunToEnd(const Command& command, std::chrono::milliseconds limit = 5s)
{
    QtProgramRunner runner;
    std::optional<CapturedRun> result;
    runner.Run(command, limit, [&](const CapturedRun& r) { result = r; });
    QElapsedTimer waited;
    waited.start();
    while (!result && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return result.value_or(CapturedRun {});
}

Command Shell(std::string script)
{
    return Command {"/bin/sh", {Argument::literal("-c"), Argument::literal(std::move(script))}};
}

TEST(QtProgramRunner, ReportsHowTheProgramEnded)
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
        {"killed at the time limit", Shell("sleep 30"), 300ms, Outcome::TimedOut, -1, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const CapturedRun result = RunToEnd(row.command, row.limit);
        EXPECT_EQ(result.outcome, row.outcome);
        if (row.outcome == Outcome::Exited) {
            EXPECT_EQ(result.exitCode, row.exitCode);
            EXPECT_EQ(result.standardOutput, row.standardOutput);
            EXPECT_EQ(result.standardError, row.standardError);
        }
    }
}

TEST(QtProgramRunner, AMissingProgramIsNamed)
{
    const CapturedRun result = RunToEnd(Command {"/nonexistent/mysqladmin", {}});
    EXPECT_EQ(result.outcome, Outcome::NotStarted);
    EXPECT_NE(result.standardError.find("/nonexistent/mysqladmin"), std::string::npos)
        << result.standardError;
}

// mariadb-admin's bare -p asks on /dev/tty even with stdin closed; in a session of its own the
// child has no terminal to ask on.
TEST(QtProgramRunner, TheChildLeadsASessionOfItsOwn)
{
    const CapturedRun result
        = RunToEnd(Shell("set -- $(cat /proc/$$/stat); [ \"$6\" = \"$$\" ] && echo own >&2"));
    EXPECT_EQ(result.outcome, Outcome::Exited);
    EXPECT_EQ(result.standardError, "own\n");
}

// Whether the process has ended; it may linger as a zombie of whoever adopted it.
bool Ended(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close == std::string::npos || text.compare(close + 1, 3, " Z ") == 0;
}

// A wrapper script's own child (mysqladmin behind a wrapper) ends with it at the time limit.
TEST(QtProgramRunner, TheTimeLimitEndsWhatTheProgramStarted)
{
    const std::string pidFile
        = QDir::tempPath().toStdString() + "/larkspan-grandchild-" + std::to_string(::getpid());
    const CapturedRun result = RunToEnd(Shell("sleep 30 & echo $! > " + pidFile + "; wait"), 500ms);
    EXPECT_EQ(result.outcome, Outcome::TimedOut);
    std::ifstream file(pidFile);
    pid_t grandchild = 0;
    ASSERT_TRUE(file >> grandchild);
    std::remove(pidFile.c_str());
    QElapsedTimer waited;
    waited.start();
    while (!Ended(grandchild) && waited.elapsed() < 3000)
        QThread::msleep(20);
    EXPECT_TRUE(Ended(grandchild)) << "the wrapper's child is still running";
    ::kill(grandchild, SIGKILL);
}

} // namespace
} // namespace larkspan
