// Programs run to their end with their output kept apart, bounded in time and in what is kept.
#include "platform/capturing_runner.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stop_token>
#include <sys/prctl.h>
#include <thread>

namespace larkspan {
namespace {

using Outcome = CapturedRun::Outcome;
using namespace std::chrono_literals;

Command Shell(std::string script)
{
    return {"/bin/sh", {Argument::literal("-c"), Argument::literal(std::move(script))}};
}

// Whether the process `pid` has ended: gone, or a zombie waiting for its new parent once the
// signal has been delivered. Waits up to five seconds for it.
bool Ended(const std::string& pid)
{
    const auto ended = [&] {
        const std::string stat = FileContents("/proc/" + pid + "/stat");
        return stat.empty() || stat.compare(stat.rfind(')'), 3, ") Z") == 0;
    };
    for (int wait = 0; wait < 100 && !ended(); ++wait)
        std::this_thread::sleep_for(50ms);
    return ended();
}

// A sleeper under a name of this test's own, so that no other test mistakes it for its own.
class Sleeper final
{
public:
    Sleeper() { std::filesystem::create_symlink("/bin/sleep", m_path); }
    const std::string& path() const { return m_path; }

private:
    test::TempDir m_folder;
    std::string m_path = m_folder.path() + "/runner-leftover-" + std::to_string(::getpid());
};

TEST(CapturingRunner, KeepsEachStreamAndTellsHowTheProgramEnded)
{
    const test::TempDir folder;
    const std::string plain = folder.path() + "/notes.txt";
    std::ofstream(plain) << "no program\n";
    std::filesystem::permissions(
        plain, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
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
        {"not a program", {plain, {}}, Outcome::NotStarted, -1, 0, plain + ": Permission denied"},
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
    const Sleeper sleeper;
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
        const CapturedRun run = runner->Run(Shell("'" + sleeper.path() + "' 60 & echo $!; setsid '"
                                                + sleeper.path() + "' 60 & echo $!; wait"),
            row.limit, stop.get_token());
        EXPECT_LT(std::chrono::steady_clock::now() - started, row.limit > 10s ? row.stopAfter + 1s : 10s);
        EXPECT_EQ(run.outcome, Outcome::TimedOut);

        // The background sleeps went with it, the one in a session of its own too.
        std::size_t at = 0;
        for (const char* which : {"in its group", "in a session of its own"}) {
            SCOPED_TRACE(which);
            const std::size_t end = run.standardOutput.find('\n', at);
            ASSERT_NE(end, std::string::npos) << run.standardOutput;
            const std::string pid = run.standardOutput.substr(at, end - at);
            EXPECT_TRUE(Ended(pid)) << FileContents("/proc/" + pid + "/stat");
            at = end + 1;
        }
    }
}

TEST(CapturingRunner, TheProgramsOwnEndIsTheEndOfItsRunAndWhatItLeftBehindIsEnded)
{
    const Sleeper sleeper;
    const std::string sleep = "'" + sleeper.path() + "' 60";
    const struct
    {
        const char* name;
        std::string script; ///< prints the pid of what it leaves behind
        int exitCode;
        std::string error;
    } rows[] = {
        {"a fatal error and a background child holding the output",
            "echo 'PHP Fatal error: Unknown: bad value' >&2; " + sleep + " & echo $!; exit 255", 255,
            "PHP Fatal error: Unknown: bad value\n"},
        {"an exit at once and a child in a session of its own holding the output",
            "setsid " + sleep + " & echo $!; exit 0", 0, ""},
        {"a grandchild in a session of its own, left when its parent ended",
            "sh -c 'setsid " + sleep + " & echo $!'; exit 3", 3, ""},
        {"a child in a session of its own that let go of the output",
            "setsid " + sleep + " > /dev/null 2>&1 & echo $!; exit 0", 0, ""},
    };
    const auto runner = MakeSystemCapturingRunner();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto started = std::chrono::steady_clock::now();
        const CapturedRun run = runner->Run(Shell(row.script), 30s, {});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        EXPECT_EQ(run.outcome, Outcome::Exited);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.standardError, row.error);
        const std::string pid = run.standardOutput.substr(0, run.standardOutput.find('\n'));
        ASSERT_FALSE(pid.empty());
        EXPECT_TRUE(Ended(pid)) << FileContents("/proc/" + pid + "/stat");
    }
    // The panel itself never adopts what its programs leave: the launcher's servers stay init's.
    int subreaper = -1;
    ASSERT_EQ(::prctl(PR_GET_CHILD_SUBREAPER, &subreaper), 0);
    EXPECT_EQ(subreaper, 0);
}

} // namespace
} // namespace larkspan
