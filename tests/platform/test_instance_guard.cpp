// The single-instance lock: held while the holder lives, gone when it ends in any way, and never
// kept alive by programs the holder started. Also the executable's directory.
#include "platform/app_dir.h"
#include "platform/instance_guard.h"
#include "support/run_in_child_posix.h"
#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using Outcome = InstanceClaim::Outcome;

Outcome Claim(InstanceGuard& guard)
{
    return guard.TryAcquire().outcome;
}

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
    ASSERT_EQ(Claim(*first), Outcome::Acquired);
    EXPECT_EQ(Claim(*first), Outcome::Acquired) << "claiming again keeps the lock";
    auto second = MakeSystemInstanceGuard(m_name);
    EXPECT_EQ(Claim(*second), Outcome::HeldByAnother);
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(m_name + "-other")), Outcome::Acquired);
    EXPECT_FALSE(fs::is_empty(m_dir)) << "the lock lives in XDG_RUNTIME_DIR";
    first.reset();
    EXPECT_EQ(Claim(*second), Outcome::Acquired);
}

TEST_F(InstanceGuardTest, KilledHolderLeavesNoStaleLock)
{
    int fds[2];
    const pid_t child = Fork(fds);
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto guard = MakeSystemInstanceGuard(m_name);
        const char held = Claim(*guard) == Outcome::Acquired ? '1' : '0';
        (void)!::write(fds[1], &held, 1);
        ::pause();
        ::_exit(0);
    }
    char held = 0;
    ASSERT_EQ(::read(fds[0], &held, 1), 1);
    ASSERT_EQ(held, '1');
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(m_name)), Outcome::HeldByAnother);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(m_name)), Outcome::Acquired);
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
        if (Claim(*guard) == Outcome::Acquired) {
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
    EXPECT_EQ(Claim(*MakeSystemInstanceGuard(m_name)), Outcome::Acquired);
    ::kill(server, SIGKILL);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(InstanceGuardTest, WithoutAUsableRuntimeDirectoryTheLockLivesInAPrivateFolder)
{
    const std::string folder = "/tmp/" + m_name + "-" + std::to_string(::geteuid());
    // The shared /tmp is no runtime directory: anyone may write there.
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/dir", "/tmp"}) {
        SCOPED_TRACE(value ? value : "unset");
        if (value)
            ::setenv("XDG_RUNTIME_DIR", value, 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        auto first = MakeSystemInstanceGuard(m_name);
        ASSERT_EQ(Claim(*first), Outcome::Acquired);
        EXPECT_EQ(Claim(*MakeSystemInstanceGuard(m_name)), Outcome::HeldByAnother);
        struct stat status
        {
        };
        ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_EQ(status.st_uid, ::geteuid());
        first.reset();
        fs::remove_all(folder);
    }
}

// What another user can plant in /tmp: the panel, run here as the user nobody, neither gives up
// the lock nor refuses to start, and says so when it cannot make its folder safe.
TEST_F(InstanceGuardTest, WhatAnotherUserPlantsInTmpNeitherFoolsNorBlocksTheGuard)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    const uid_t nobody = 65534;
    const std::string folder = "/tmp/" + m_name + "-" + std::to_string(nobody);
    const std::string oldLock = folder + ".lock"; // where the lock lived directly in /tmp
    const std::string decoy = "/tmp/" + m_name + "-decoy"; // where nobody could create a file
    int heldLock = -1;
    struct Row
    {
        const char* name;
        std::function<void()> plant;
        std::string outcome; ///< the first claim, the second claim, and the problem if any
        unsigned folderMode = 0; ///< checked when not 0
    };
    const Row rows[] {
        {"a lock file in /tmp created and held by another user",
            [&] {
                heldLock = ::open(oldLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
                ::fchmod(heldLock, 0666);
                ::flock(heldLock, LOCK_EX);
            },
            "acquired held"},
        {"a symlink in place of the lock file in /tmp", [&] { fs::create_symlink(decoy, oldLock); },
            "acquired held"},
        {"the private folder made by another user", [&] { fs::create_directory(folder); },
            "unavailable unavailable " + folder + ": 属于另一个用户（uid 0）"},
        {"the private folder a symlink to another user's folder",
            [&] { fs::create_directory_symlink(m_dir, folder); },
            "unavailable unavailable " + folder + ": 是符号链接，不是目录"},
        {"the private folder a file", [&] { std::ofstream(folder) << "x"; },
            "unavailable unavailable " + folder + ": 不是目录"},
        {"the user's own folder left open to everyone",
            [&] {
                fs::create_directory(folder);
                ::chown(folder.c_str(), nobody, nobody);
                ::chmod(folder.c_str(), 0777);
            },
            "acquired held", 0700},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.plant();
        const auto report = test::RunInChild([&]() -> std::optional<std::string> {
            if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                return std::nullopt;
            ::unsetenv("XDG_RUNTIME_DIR");
            const auto word = [](Outcome outcome) {
                return outcome == Outcome::Acquired     ? "acquired"
                    : outcome == Outcome::HeldByAnother ? "held"
                                                        : "unavailable";
            };
            auto first = MakeSystemInstanceGuard(m_name);
            const InstanceClaim claim = first->TryAcquire();
            std::string result
                = std::string(word(claim.outcome)) + " " + word(Claim(*MakeSystemInstanceGuard(m_name)));
            return claim.problem.empty() ? result : result + " " + claim.problem;
        });
        EXPECT_EQ(report, std::optional<std::string>(row.outcome));
        struct stat status
        {
        };
        if (row.folderMode != 0) {
            ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, row.folderMode);
        }
        EXPECT_FALSE(fs::exists(decoy)) << "nothing is created through a planted link";

        if (heldLock >= 0)
            ::close(heldLock);
        heldLock = -1;
        std::error_code error;
        fs::remove(oldLock, error);
        if (fs::is_symlink(folder, error) || !fs::is_directory(folder, error))
            fs::remove(folder, error);
        else
            fs::remove_all(folder, error);
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
