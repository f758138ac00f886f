// Text files on POSIX: permission bits and links kept, a read-only folder, a full disk, killed
// and stopped writers, FIFOs and devices. Windows: test_text_file_win.cpp.
#include "config/text_file.h"
#include "support/config_test_support.h"
#include "support/permission_bits_posix.h"
#include "support/run_in_child_posix.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace larkspan {
namespace {

using test::FailsWithReason;
using test::RunInChild;
using test::TempDir;
using test::WriteBytes;

TEST(WriteFileAtomically, ReplacesContentAndKeepsMetadata)
{
    TempDir dir;
    const std::string file = dir / "f.txt";
    WriteBytes(file, "old");
    ::chmod(file.c_str(), 0640);
    std::filesystem::create_directory(dir / "sub");
    std::filesystem::create_symlink("../f.txt", dir / "sub/rel-link");
    std::filesystem::create_symlink(dir / "sub/rel-link", dir / "chain");
    std::filesystem::create_symlink(dir / "new-target", dir / "dangling");

    ASSERT_TRUE(WriteFileAtomically(dir / "chain", std::string("new\0bytes", 9)).ok());
    EXPECT_EQ(FileContents(file), std::string("new\0bytes", 9));
    EXPECT_EQ(test::PermissionBits(file), 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "chain"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "sub/rel-link"));

    ASSERT_TRUE(WriteFileAtomically(dir / "dangling", "created").ok());
    EXPECT_EQ(FileContents(dir / "new-target"), "created");
    EXPECT_EQ(test::EntryCount(dir.path()), 5u);
}

TEST(WriteFileAtomically, RefusesAReadOnlyDirectory)
{
    TempDir dir;
    const std::string locked = dir / "locked";
    std::filesystem::create_directory(locked);
    WriteBytes(locked + "/f.txt", "keep");
    ::chmod(locked.c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod((locked + "/f.txt").c_str(), 0666);

    // Root may write anywhere, so the write runs as an unprivileged user then.
    const auto message = RunInChild([&]() -> std::optional<std::string> {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return std::nullopt;
        return WriteFileAtomically(locked + "/f.txt", "new").message();
    });
    if (!message)
        GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(*message, locked + "/f.txt: Permission denied");
    EXPECT_EQ(FileContents(locked + "/f.txt"), "keep");
    EXPECT_EQ(test::EntryCount(locked), 1u);
}

TEST(WriteFileAtomically, DiskFullKeepsTheOriginal)
{
    TempDir dir;
    const std::string file = dir / "f.txt";
    WriteBytes(file, "keep");

    // A file-size limit fails the write part-way, as a full disk does.
    const auto limited = RunInChild([&]() -> std::optional<std::string> {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return std::nullopt;
        return WriteFileAtomically(file, std::string(100000, 'x')).message();
    });
    ASSERT_TRUE(limited.has_value());
    EXPECT_EQ(*limited, file + ": File too large");
    EXPECT_EQ(FileContents(file), "keep");
    EXPECT_EQ(test::EntryCount(dir.path()), 1u);

    // A really full disk: a small tmpfs in a private mount namespace, where permitted.
    const auto full = RunInChild([&]() -> std::optional<std::string> {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0)
            return std::nullopt;
        WriteBytes(file, "keep");
        WriteBytes(dir / "filler", std::string(40 * 1024, 'f'));
        std::string result = WriteFileAtomically(file, std::string(60 * 1024, 'x')).message();
        result += "|" + FileContents(file) + "|" + std::to_string(test::EntryCount(dir.path()));
        return result;
    });
    if (!full)
        GTEST_SKIP() << "cannot mount a small file system here";
    EXPECT_EQ(*full, file + ": No space left on device|keep|2");
}

// Starts a child that writes `size` bytes to `target` and sends it `signal` once its temporary
// file has begun to fill, retrying when the child gets to its rename first. Returns the child,
// whose temporary file is then still there, or -1.
pid_t WriterCaughtMidWrite(
    const std::string& directory, const std::string& target, std::size_t size, int signal)
{
    const std::string prefix = "." + std::filesystem::path(target).filename().string() + ".tmp";
    const auto temporaryFound = [&](bool filling) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
            if (entry.path().filename().string().starts_with(prefix)
                && (!filling || std::filesystem::file_size(entry.path(), error) > 0))
                return true;
        }
        return false;
    };
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t child = ::fork();
        if (child < 0)
            return -1;
        if (child == 0)
            ::_exit(WriteFileAtomically(target, std::string(size, 'c')).ok() ? 0 : 1);
        int status = 0;
        while (!temporaryFound(true) && ::waitpid(child, &status, WNOHANG) == 0) { }
        ::kill(child, signal);
        if (signal == SIGKILL)
            ::waitpid(child, &status, 0);
        if (temporaryFound(false))
            return child;
        ::kill(child, SIGCONT);
        ::waitpid(child, &status, 0);
    }
    return -1;
}

TEST(WriteFileAtomically, TheNextWriteRemovesTheLeftoverOfAKilledWriter)
{
    TempDir dir;
    const std::string target = dir / "httpd.conf";
    WriteBytes(target, "old");
    ASSERT_GT(WriterCaughtMidWrite(dir.path(), target, 64u << 20, SIGKILL), 0);
    EXPECT_EQ(FileContents(target), "old");
    ASSERT_EQ(test::EntryCount(dir.path()), 2u) << "the kill left a temporary file";

    ASSERT_TRUE(WriteFileAtomically(target, "new").ok());
    EXPECT_EQ(FileContents(target), "new");
    EXPECT_EQ(test::EntryCount(dir.path()), 1u);
}

// The clean-up takes only leftovers of this very file that are ours and that no writer holds.
TEST(WriteFileAtomically, TheCleanUpLeavesLookAlikesAndLiveWritesAlone)
{
    TempDir dir;
    const std::string target = dir / "httpd.conf";
    WriteBytes(target, "old");
    const pid_t stopped = WriterCaughtMidWrite(dir.path(), target, 8u << 20, SIGSTOP);
    ASSERT_GT(stopped, 0);
    WriteBytes(dir / "outside", "outside");

    const bool root = ::geteuid() == 0;
    struct Entry
    {
        const char* name;
        std::function<void(const std::string&)> make;
        bool survives;
    };
    const auto file = [](const std::string& path) { WriteBytes(path, "x"); };
    const Entry entries[] = {
        {".httpd.conf.tmp1-2-3", file, false},
        {".httpd.conf.tmp4-5-6", [](const std::string& path) { WriteBytes(path, ""); }, false},
        {".other.conf.tmp1-2-3", file, true},
        {".httpd.conf.tmpabc", file, true},
        {".httpd.conf.tmp1-2", file, true},
        {".httpd.conf.tmp1-2-3.bak", file, true},
        {".httpd.conf.tmp1--3", file, true},
        {"httpd.conf.tmp1-2-3", file, true},
        {".httpd.conf.tmp7-8-9", [](const std::string& path) { std::filesystem::create_directory(path); },
            true},
        {".httpd.conf.tmp10-8-9",
            [&](const std::string& path) { std::filesystem::create_symlink(dir / "outside", path); }, true},
        {".httpd.conf.tmp11-8-9", [](const std::string& path) { ::mkfifo(path.c_str(), 0600); }, true},
        {".httpd.conf.tmp12-8-9",
            [&](const std::string& path) {
                WriteBytes(path, "x");
                if (root)
                    ::chown(path.c_str(), 65534, 65534);
            },
            root},
    };
    for (const Entry& entry : entries)
        entry.make(dir / entry.name);
    // A writer of this process that is still writing holds its own lock.
    WriteBytes(dir / ".httpd.conf.tmp13-8-9", "x");
    const int held = ::open((dir / ".httpd.conf.tmp13-8-9").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const auto outcome = RunInChild([&]() -> std::optional<std::string> {
        ::alarm(10);
        return WriteFileAtomically(target, "parent").message();
    });
    ASSERT_EQ(outcome, std::optional<std::string>(""));
    for (const Entry& entry : entries)
        EXPECT_EQ(
            std::filesystem::symlink_status(dir / entry.name).type() != std::filesystem::file_type::not_found,
            entry.survives)
            << entry.name;
    EXPECT_TRUE(std::filesystem::exists(dir / ".httpd.conf.tmp13-8-9"));
    EXPECT_EQ(FileContents(dir / "outside"), "outside");
    EXPECT_EQ(FileContents(target), "parent");
    ::close(held);

    // The stopped writer's file was left to it: resumed, it completes its own replace.
    ::kill(stopped, SIGCONT);
    int status = 0;
    ASSERT_EQ(::waitpid(stopped, &status, 0), stopped);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(FileContents(target), std::string(8u << 20, 'c'));
}

// Each read runs in a child under an alarm, so a read that waits for a FIFO's writer or drains
// /dev/zero fails the test instead of hanging it.
TEST(ReadWholeFile, RefusesWhatIsNotARegularFileOfConfigurationSize)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero-link");
    std::filesystem::create_directory(dir / "folder");
    const std::string limit(8u << 20, 'x');
    WriteBytes(dir / "at-limit", limit);
    WriteBytes(dir / "over-limit", limit + "x");
    // A sparse file: a huge size that costs no disk space.
    WriteBytes(dir / "sparse", "");
    std::filesystem::resize_file(dir / "sparse", 1ull << 40);

    struct Case
    {
        const char* name;
        std::string path;
        std::string outcome;
    };
    const std::string notRegular = ": 不是普通文件（是 FIFO、设备或套接字）";
    const std::string tooLarge = ": 文件超过 8 MB，太大，没有读取";
    const Case cases[] = {
        {"FIFO without a writer", dir / "fifo", dir / "fifo" + notRegular},
        {"character device", "/dev/zero", "/dev/zero" + notRegular},
        {"symlink to a device", dir / "zero-link", dir / "zero-link" + notRegular},
        {"directory", dir / "folder", dir / "folder: Is a directory"},
        {"file of exactly the limit", dir / "at-limit", "read " + std::to_string(limit.size())},
        {"file one byte over", dir / "over-limit", dir / "over-limit" + tooLarge},
        {"sparse terabyte", dir / "sparse", dir / "sparse" + tooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto outcome = RunInChild([&]() -> std::optional<std::string> {
            ::alarm(10);
            std::string content = "untouched";
            bool missing = true;
            const Status status = ReadWholeFile(c.path, content, missing);
            if (missing)
                return "reported as missing";
            if (!status.ok())
                return content == "untouched" ? status.message() : "content changed on failure";
            return "read " + std::to_string(content.size());
        });
        ASSERT_TRUE(outcome.has_value()) << "the read did not return";
        EXPECT_EQ(*outcome, c.outcome);
    }
}

} // namespace
} // namespace larkspan
