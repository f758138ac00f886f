// The single-instance lock: held while the holder lives, gone when it ends in any way, and never
// kept alive by programs the holder started. Also the executable's directory.
#include "app_dir.h"
#include "instance_guard.h"
#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace larkspan {
namespace {

namespace fs = std::filesystem;

class InstanceGuardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const char* saved = std::getenv("XDG_RUNTIME_DIR");
        m_saved = saved ? saved : "";
        m_hadSaved = saved != nullptr;
        ::setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override
    {
        if (m_hadSaved)
            ::setenv("XDG_RUNTIME_DIR", m_saved.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

    // A child process with a pipe to report back through.
    static pid_t Fork(int pipeFds[2]) { return ::pipe(pipeFds) == 0 ? ::fork() : -1; }

    test::TempDir m_temp;
    fs::path m_dir = m_temp.path();
    std::string m_saved;
    bool m_hadSaved = false;
    const std::string m_name = "larkspan-test-" + std::to_string(::getpid());
};

TEST_F(InstanceGuardTest, SecondClaimFailsWhileTheFirstHolds)
{
    auto first = MakeSystemInstanceGuard(m_name);
    ASSERT_TRUE(first->TryAcquire());
    EXPECT_TRUE(first->TryAcquire()) << "claiming again keeps the lock";
    auto second = MakeSystemInstanceGuard(m_name);
    EXPECT_FALSE(second->TryAcquire());
    EXPECT_TRUE(MakeSystemInstanceGuard(m_name + "-other")->TryAcquire());
    EXPECT_FALSE(fs::is_empty(m_dir)) << "the lock lives in XDG_RUNTIME_DIR";
    first.reset();
    EXPECT_TRUE(second->TryAcquire());
}

TEST_F(InstanceGuardTest, KilledHolderLeavesNoStaleLock)
{
    int fds[2];
    const pid_t child = Fork(fds);
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto guard = MakeSystemInstanceGuard(m_name);
        const char held = guard->TryAcquire() ? '1' : '0';
        (void)!::write(fds[1], &held, 1);
        ::pause();
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(fds[0], &held, 1), 1);
    ASSERT_EQ(held, '1');
    EXPECT_FALSE(MakeSystemInstanceGuard(m_name)->TryAcquire());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(MakeSystemInstanceGuard(m_name)->TryAcquire());
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(InstanceGuardTest, ProgramsStartedByTheHolderDoNotKeepTheLock)
{
    int fds[2];
    const pid_t child = Fork(fds);
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto guard = MakeSystemInstanceGuard(m_name);
        pid_t server = -1;
        if (guard->TryAcquire()) {
            char program[] = "/bin/sleep";
            char seconds[] = "60";
            char* argv[] = {program, seconds, nullptr};
            if (::posix_spawn(&server, program, nullptr, nullptr, argv, environ) != 0)
                server = -1;
        }
        (void)!::write(fds[1], &server, sizeof server);
        ::_exit(0);
    }
    pid_t server = -1;
    ASSERT_EQ(::read(fds[0], &server, sizeof server), static_cast<ssize_t>(sizeof server));
    ::waitpid(child, nullptr, 0);
    ASSERT_GT(server, 0);
    EXPECT_TRUE(MakeSystemInstanceGuard(m_name)->TryAcquire());
    ::kill(server, SIGKILL);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(InstanceGuardTest, FallsBackToTmpWithoutARuntimeDirectory)
{
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
        if (value)
            ::setenv("XDG_RUNTIME_DIR", value, 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        auto first = MakeSystemInstanceGuard(m_name);
        ASSERT_TRUE(first->TryAcquire());
        EXPECT_FALSE(MakeSystemInstanceGuard(m_name)->TryAcquire());
        first.reset();
        fs::remove("/tmp/" + m_name + "-" + std::to_string(::getuid()) + ".lock");
    }
}

TEST(AppDir, IsTheDirectoryOfTheRunningExecutable)
{
    const std::string dir = ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(fs::exists(fs::path(dir) / "test_instance_guard"));
}

} // namespace
} // namespace larkspan
