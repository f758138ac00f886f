// One monitor tick (two process counts) against one bare /proc scan and against two pgrep runs,
// at the machine's own process count and with 1,000 extra sleeping processes.
#include "process_list.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MedianMilliseconds(const std::function<void()>& run, int repetitions)
{
    std::vector<double> samples;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        run();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool IsNumeric(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name)
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    return true;
}

// The floor: one pass over /proc reading every comm, nothing else.
int BareScan(const char* name)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    int count = 0;
    char path[300];
    char comm[64];
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumeric(entry->d_name))
            continue;
        std::snprintf(path, sizeof path, "%s/comm", entry->d_name);
        const int fd = ::openat(::dirfd(proc), path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = ::read(fd, comm, sizeof comm - 1);
        ::close(fd);
        if (got > 0) {
            comm[got - 1] = '\0';
            count += std::strcmp(comm, name) == 0;
        }
    }
    ::closedir(proc);
    return count;
}

int ProcessCount()
{
    DIR* proc = ::opendir("/proc");
    int count = 0;
    while (const dirent* entry = ::readdir(proc))
        count += IsNumeric(entry->d_name);
    ::closedir(proc);
    return count;
}

void RunAndWait(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, nullptr, 0);
    ::posix_spawn_file_actions_destroy(&actions);
}

void Measure(const char* label, larkspan::ProcessList& list)
{
    const int processes = ProcessCount();
    const double bare = MedianMilliseconds([] { BareScan("httpd.exe"); }, 101);
    const double tick = MedianMilliseconds(
        [&list] {
            list.CountProcesses("httpd.exe");
            list.CountProcesses("mysqld-nt.exe");
        },
        101);
    const double pgrep = MedianMilliseconds(
        [] {
            RunAndWait({"pgrep", "-x", "httpd.exe"});
            RunAndWait({"pgrep", "-x", "mysqld-nt.exe"});
        },
        21);
    std::printf("%s: %d processes\n", label, processes);
    std::printf("  bare scan        %8.3f ms  (%.2f us per process)\n", bare, 1000.0 * bare / processes);
    std::printf("  monitor tick     %8.3f ms  (%.2f us per process) = %.2fx one bare scan\n", tick,
        1000.0 * tick / processes, tick / bare);
    std::printf("  two pgrep runs   %8.3f ms  = tick is %.1fx faster\n", pgrep, pgrep / tick);
}

} // namespace

int main()
{
    const auto list = larkspan::MakeSystemProcessList();
    Measure("own process count", *list);

    std::vector<pid_t> sleepers;
    for (int i = 0; i < 1000; ++i) {
        char program[] = "/bin/sleep";
        char seconds[] = "600";
        char* argv[] = {program, seconds, nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0)
            sleepers.push_back(pid);
    }
    Measure("with 1,000 extra sleeping processes", *list);
    for (const pid_t pid : sleepers)
        ::kill(pid, SIGKILL);
    for (const pid_t pid : sleepers)
        ::waitpid(pid, nullptr, 0);
    return 0;
}
