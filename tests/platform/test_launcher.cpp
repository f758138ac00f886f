#include "platform/launcher.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using A = Argument;

// Launched programs run on their own; give them a bounded time to leave their trace.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

int ZombieChildren()
{
    int zombies = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = FileContents(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == ::getpid()
            && state == 'Z')
            ++zombies;
    }
    return zombies;
}

class LauncherTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_appDir = m_root / "app dir";
        fs::create_directories(m_appDir / "bin");
        m_log = m_appDir / "services.log";
        m_launcher = MakeSystemLauncher(m_appDir.string(), m_log.string());
    }

    fs::path WriteScript(const fs::path& path, const std::string& body, fs::perms perms = fs::perms(0755))
    {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, perms);
        return path;
    }

    test::TempDir m_temp;
    fs::path m_root = m_temp.path();
    fs::path m_appDir;
    fs::path m_log;
    std::unique_ptr<Launcher> m_launcher;
};

TEST_F(LauncherTest, ArgumentsReachTheStandInIntact)
{
    WriteScript(m_appDir / "bin" / "net",
        "out=$1; shift; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$out.tmp\" && mv \"$out.tmp\" "
        "\"$out\"");
    const fs::path out = m_root / "args";
    const Command command {"net",
        {A::path(out.string()), A::literal("start"), A::path(m_root.string() + "/with blank"),
            A::literal("pa\"ss 'word"), A::literal("$(touch pwned);|&"), A::literal("")}};
    ASSERT_TRUE(m_launcher->LaunchProgram(command, WindowStyle::Hidden).ok());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out); }));
    EXPECT_EQ(FileContents(out),
        "[start]\n[" + m_root.string() + "/with blank]\n[pa\"ss 'word]\n[$(touch pwned);|&]\n[]\n");
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(LauncherTest, HiddenOutputIsAppendedToTheLogOthersAreNot)
{
    std::ofstream(m_log) << "earlier\n";
    WriteScript(m_appDir / "bin" / "talk", "echo \"out $1\"; echo \"err $1\" >&2; touch \"$2\"");
    ASSERT_TRUE(m_launcher
                    ->LaunchProgram({"talk", {A::literal("hidden"), A::path((m_root / "a").string())}},
                        WindowStyle::Hidden)
                    .ok());
    ASSERT_TRUE(WaitFor([&] {
        return fs::exists(m_root / "a") && FileContents(m_log) == "earlier\nout hidden\nerr hidden\n";
    }));
    ASSERT_TRUE(m_launcher
                    ->LaunchProgram({"talk", {A::literal("shown"), A::path((m_root / "b").string())}},
                        WindowStyle::NormalFocus)
                    .ok());
    ASSERT_TRUE(WaitFor([&] { return fs::exists(m_root / "b"); }));
    EXPECT_EQ(FileContents(m_log), "earlier\nout hidden\nerr hidden\n");
}

TEST_F(LauncherTest, ChildIsDetachedFromThePanel)
{
    // An inheritable descriptor like the instance lock must not reach the child.
    const int inheritable = ::dup2(::open("/dev/null", O_RDONLY), 37);
    ASSERT_EQ(inheritable, 37);
    const fs::path out = m_root / "detached";
    WriteScript(m_appDir / "bin" / "probe",
        "{ readlink /proc/$$/fd/0; [ $(cut -d' ' -f6 /proc/$$/stat) = $$ ] && echo own-session; "
        "[ -e /proc/$$/fd/37 ] || echo no-fd-37; } > \"$1.tmp\" && mv \"$1.tmp\" \"$1\"");
    ASSERT_TRUE(m_launcher->LaunchProgram({"probe", {A::path(out.string())}}, WindowStyle::NormalFocus).ok());
    ::close(inheritable);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out); }));
    EXPECT_EQ(FileContents(out), "/dev/null\nown-session\nno-fd-37\n");
}

TEST_F(LauncherTest, FinishedChildrenAreReaped)
{
    WriteScript(m_appDir / "bin" / "quick", "exit 3");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(m_launcher->LaunchProgram({"quick", {}}, WindowStyle::Hidden).ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(WaitFor([] { return ZombieChildren() == 0; }));
}

TEST_F(LauncherTest, HiddenStillStartsWhenTheLogIsNoFileToAppendTo)
{
    ASSERT_EQ(::mkfifo((m_root / "fifo.log").c_str(), 0600), 0);
    for (const char* log : {"missing/x.log", "fifo.log"}) {
        SCOPED_TRACE(log);
        const auto launcher = MakeSystemLauncher(m_appDir.string(), (m_root / log).string());
        const fs::path out = m_root / (std::string(log).substr(0, 4) + "-started");
        WriteScript(m_appDir / "bin" / "net", "echo noise; touch \"$1\"");
        auto launched = std::async(std::launch::async, [&] {
            return launcher->LaunchProgram({"net", {A::path(out.string())}}, WindowStyle::Hidden).ok();
        });
        if (launched.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Releases a launcher stuck opening the FIFO for writing, then fails.
            ::close(::open((m_root / log).c_str(), O_RDONLY | O_NONBLOCK));
            ADD_FAILURE() << "the launch waited for a reader of the log";
        }
        EXPECT_TRUE(launched.get());
        EXPECT_TRUE(WaitFor([&] { return fs::exists(out); }));
    }
}

TEST_F(LauncherTest, StartFailuresNameTheProgramAndTheReason)
{
    WriteScript(m_appDir / "bin" / "notexec", "true", fs::perms(0644));
    fs::create_directories(m_appDir / "bin" / "folder");
    const std::string app = m_appDir.string();
    struct Case
    {
        const char* name;
        std::string program;
        std::string expected;
    };
    const Case cases[] = {
        {"missing stand-in", "no-such-stand-in", "no-such-stand-in: 在 " + app + "/bin 中找不到这个程序"},
        {"system program is no stand-in", "sh", "sh: 在 " + app + "/bin 中找不到这个程序"},
        {"missing path", app + "/MySQL/bin/mysql.exe",
            app + "/MySQL/bin/mysql.exe: No such file or directory"},
        {"not executable", "notexec", app + "/bin/notexec: Permission denied"},
        {"directory", "folder", app + "/bin/folder: Is a directory"},
        {"empty", "", "（没有指定程序）: No such file or directory"},
    };
    for (const Case& c : cases) {
        const Status status = m_launcher->LaunchProgram({c.program, {A::literal("x")}}, WindowStyle::Hidden);
        EXPECT_FALSE(status.ok()) << c.name;
        EXPECT_EQ(status.message(), c.expected) << c.name;
    }
}

} // namespace
} // namespace larkspan
