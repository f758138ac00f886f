// CountProcesses against real processes: copies of `sleep` started under chosen names.
#include "platform/process_list.h"
#include "support/temp_dir.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace larkspan {
namespace {

namespace fs = std::filesystem;

class ProcessListTest : public testing::Test
{
protected:
    void TearDown() override
    {
        for (const pid_t pid : m_children)
            Stop(pid);
    }

    // Starts a copy of sleep named `fileName`; argv[0] is its path unless given.
    pid_t Start(const std::string& fileName, const std::string& argv0 = {})
    {
        const fs::path program = m_dir / fileName;
        if (!fs::exists(program))
            fs::copy_file("/bin/sleep", program);
        std::string first = argv0.empty() ? program.string() : argv0;
        std::string seconds = "60";
        char* argv[] = {first.data(), seconds.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
        m_children.push_back(pid);
        return pid;
    }

    void Stop(pid_t pid)
    {
        if (::kill(pid, SIGKILL) == 0)
            ::waitpid(pid, nullptr, 0);
    }

    std::string Unique(const std::string& stem) const { return stem + std::to_string(::getpid()); }

    test::TempDir m_temp;
    fs::path m_dir = m_temp.path();
    std::vector<pid_t> m_children;
    std::unique_ptr<ProcessList> m_list = MakeSystemProcessList();
};

// A server's own name would make every panel on the machine show that server running, so the
// names here are unique to this test process.
TEST_F(ProcessListTest, ExactCaseSensitiveNames)
{
    const std::string stem = Unique("lkd");
    const std::string name = stem + ".exe";
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_LT(name.size(), 15u) << "the kernel's name limit is tested on its own";
    Start(name);
    EXPECT_EQ(m_list->CountProcesses(name), 1);
    for (const std::string& other :
        {upper, "x" + name, name.substr(0, name.size() - 1), name + " ", stem, std::string()})
        EXPECT_EQ(m_list->CountProcesses(other), 0) << '"' << other << '"';
}

TEST_F(ProcessListTest, EveryProcessOfTheNameCountsUntilItEnds)
{
    const std::string name = Unique("lk") + ".exe";
    const pid_t first = Start(name);
    Start(name);
    Start(name);
    EXPECT_EQ(m_list->CountProcesses(name), 3);
    Stop(first);
    EXPECT_EQ(m_list->CountProcesses(name), 2);
}

TEST_F(ProcessListTest, AnEndedButUncollectedProcessDoesNotCount)
{
    const std::string name = Unique("lz") + ".exe";
    const pid_t pid = Start(name);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    // Wait until it has ended without collecting it, so it lingers as a zombie.
    siginfo_t info {};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(m_list->CountProcesses(name), 0);
}

TEST_F(ProcessListTest, NamesAroundTheKernelsFifteenByteLimit)
{
    const std::string fifteen = Unique("fifteen-bytes-").substr(0, 15);
    const std::string longName = Unique("larkspan-long-name-") + ".exe";
    const std::string renamed = Unique("larkspan-renamed-") + ".exe";
    ASSERT_EQ(fifteen.size(), 15u);
    Start(fifteen);
    Start(longName);
    Start(renamed, "something-else");

    struct Row
    {
        std::string query;
        int expected;
    };
    const std::vector<Row> rows {
        {fifteen, 1},
        {fifteen + "x", 0},
        {longName, 1},
        {longName.substr(0, 15), 0},
        {longName.substr(0, 16), 0},
        {longName + "x", 0},
        // A program that rewrote its argv[0] is known by the kernel's shortened name only.
        {renamed, 0},
        {renamed.substr(0, 15), 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(m_list->CountProcesses(row.query), row.expected) << row.query;
}

// The monitor's tick: both servers' names counted in one pass over the list.
TEST_F(ProcessListTest, SeveralNamesInOnePass)
{
    const std::string two = Unique("lt") + ".exe";
    const std::string longName = Unique("larkspan-each-long-") + ".exe";
    const std::string none = Unique("none") + ".exe";
    Start(two);
    Start(two);
    Start(longName);
    // Just after its exec a process may not show its command line yet, and with it its long name.
    for (int i = 0; i < 100 && m_list->CountProcesses(longName) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string_view names[] = {two, none, longName, std::string_view(longName).substr(0, 15)};
    int counts[] = {-1, -1, -1, -1};
    m_list->CountEach(names, counts);
    EXPECT_EQ(counts[0], 2);
    EXPECT_EQ(counts[1], 0);
    EXPECT_EQ(counts[2], 1);
    EXPECT_EQ(counts[3], 0);
}

} // namespace
} // namespace larkspan
