// The executable's own options: --help and --version are answered with no display and while
// another instance holds the single-instance lock; anything else is refused with status 2.
#include "config/version.h"
#include "platform/instance_guard.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace larkspan {
namespace {

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the panel with `arguments`, its output captured in files of `folder`; killed after 30 s.
Outcome RunPanel(std::vector<std::string> arguments, const test::TempDir& folder)
{
    const std::string outPath = folder / "stdout";
    const std::string errPath = folder / "stderr";
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    arguments.insert(arguments.begin(), LARKSPAN_EXECUTABLE);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, FileContents(outPath), FileContents(errPath)};
}

TEST(ProgramOptions, AnsweredWithoutDisplayWhileAnotherInstanceRuns)
{
    test::TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        ::unsetenv(name);
    const auto running = MakeSystemInstanceGuard("LarkspanAdmin");
    ASSERT_EQ(running->TryAcquire().outcome, InstanceClaim::Outcome::Acquired);

    const std::string versionLine = "LarkspanAdmin " + std::string(kVersion) + "\n";
    const struct
    {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::string outContains; // empty: nothing on standard output
        std::string errContains; // empty: nothing on standard error
    } rows[] {
        {"version", {"--version"}, 0, versionLine, ""},
        {"version, short", {"-v"}, 0, versionLine, ""},
        {"help lists both options", {"--help"}, 0, "--version", ""},
        {"Qt's own options are Qt's", {"-platform", "offscreen", "-session", "x", "--version"}, 0,
            versionLine, ""},
        {"unknown option", {"--bogus"}, 2, "", "--bogus"},
        {"unknown option beside version", {"--version", "-x"}, 2, "", "-x"},
        {"stray argument", {"site.php"}, 2, "", "site.php"},
        {"value for version", {"--version=2"}, 2, "", "--version"},
        {"no display: said in the panel's words, no abort", {}, 1, "", "环境变量 DISPLAY"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir output;
        const Outcome outcome = RunPanel(row.arguments, output);
        EXPECT_EQ(outcome.status, row.status) << outcome.err;
        if (row.outContains.empty())
            EXPECT_EQ(outcome.out, "");
        else
            EXPECT_NE(outcome.out.find(row.outContains), std::string::npos) << outcome.out;
        if (row.errContains.empty())
            EXPECT_EQ(outcome.err, "");
        else
            EXPECT_NE(outcome.err.find(row.errContains), std::string::npos) << outcome.err;
    }
    // A display that cannot be reached is no display either.
    ::setenv("DISPLAY", ":97", 1);
    test::TempDir output;
    const Outcome unreachable = RunPanel({}, output);
    ::unsetenv("DISPLAY");
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_NE(unreachable.err.find("环境变量 DISPLAY"), std::string::npos) << unreachable.err;

    EXPECT_EQ(
        MakeSystemInstanceGuard("LarkspanAdmin")->TryAcquire().outcome, InstanceClaim::Outcome::HeldByAnother)
        << "the lock was held throughout";
}

} // namespace
} // namespace larkspan
