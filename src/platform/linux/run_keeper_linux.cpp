// Runs in a child of fork() of a process with other threads: system calls only, nothing allocated,
// no lock taken.
#include "platform/linux/run_keeper_linux.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace larkspan {
namespace {

// How long the sweep goes on: a process in uninterruptible sleep dies only when it wakes, and is
// left to init then, its kill pending.
constexpr long kSweepMilliseconds = 3000;
// Without a pidfd (kernels before 5.3), how often the program's end is looked for.
constexpr int kPollSliceMilliseconds = 5;

void Report(int fd, KeeperMessage::Kind kind, int value)
{
    const KeeperMessage message {kind, value};
    while (::write(fd, &message, sizeof message) < 0 && errno == EINTR) { }
}

long MonotonicMilliseconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepMilliseconds(long milliseconds)
{
    timespec pause {0, milliseconds * 1000000};
    ::nanosleep(&pause, nullptr);
}

// Closes every descriptor from 3 up but the four in `kept`, which are 3 or more.
void CloseAllBut(const int (&kept)[4])
{
    int sorted[4] = {kept[0], kept[1], kept[2], kept[3]};
    for (int i = 1; i < 4; ++i)
        for (int j = i; j > 0 && sorted[j - 1] > sorted[j]; --j) {
            const int swapped = sorted[j];
            sorted[j] = sorted[j - 1];
            sorted[j - 1] = swapped;
        }
    unsigned first = 3;
    for (const int fd : sorted) {
        if (static_cast<unsigned>(fd) > first)
            ::close_range(first, static_cast<unsigned>(fd) - 1, 0);
        first = static_cast<unsigned>(fd) + 1;
    }
    if (::close_range(first, ~0U, 0) == 0)
        return;
    // A kernel before 5.9: one by one, up to the limit of descriptors.
    rlimit limit {};
    const rlim_t last
        = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? limit.rlim_cur : 65536;
    for (rlim_t fd = 3; fd < last; ++fd) {
        const auto descriptor = static_cast<int>(fd);
        if (descriptor != kept[0] && descriptor != kept[1] && descriptor != kept[2] && descriptor != kept[3])
            ::close(descriptor);
    }
}

// The parent pid in /proc/PID/stat, read through the /proc descriptor `proc`; -1 when it is gone.
pid_t ParentOf(int proc, const char* name)
{
    char path[64];
    std::size_t length = 0;
    for (; name[length] != '\0' && length < 40; ++length)
        path[length] = name[length];
    for (const char c : "/stat")
        path[length++] = c;
    const int fd = ::openat(proc, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char stat[512];
    const ssize_t got = ::read(fd, stat, sizeof stat);
    ::close(fd);
    // "PID (NAME) STATE PPID ...": the name may hold blanks and parentheses, the rest not.
    ssize_t at = got - 1;
    while (at >= 0 && stat[at] != ')')
        --at;
    if (at < 0 || at + 4 >= got)
        return -1;
    at += 4;
    pid_t parent = 0;
    for (; at < got && stat[at] >= '0' && stat[at] <= '9'; ++at)
        parent = parent * 10 + (stat[at] - '0');
    return parent;
}

// Kills every child of this process: the program, and what was left to the keeper when its
// parent ended. A pid read here cannot be reused before the kill: an ended child stays until
// this process reaps it.
void KillChildren()
{
    const pid_t self = ::getpid();
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return;
    alignas(dirent64) char entries[8192];
    for (;;) {
        const ssize_t got = ::getdents64(proc, entries, sizeof entries);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            at += entry->d_reclen;
            pid_t pid = 0;
            const char* name = entry->d_name;
            for (; *name >= '0' && *name <= '9'; ++name)
                pid = pid * 10 + (*name - '0');
            if (*name == '\0' && pid > 0 && ParentOf(proc, entry->d_name) == self)
                ::kill(pid, SIGKILL);
        }
    }
    ::close(proc);
}

// Ends the whole subtree: each round kills the children, whose own children then come to the
// keeper for the next round, until none is left.
void Sweep()
{
    const long until = MonotonicMilliseconds() + kSweepMilliseconds;
    for (;;) {
        KillChildren();
        bool left = false;
        for (;;) {
            const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
            if (reaped > 0)
                continue;
            left = reaped == 0;
            break;
        }
        if (!left || MonotonicMilliseconds() >= until)
            return;
        SleepMilliseconds(1);
    }
}

// Waits until the program has ended (true, its wait status in `status`) or the control pipe
// says the run is over (false).
bool WaitForProgram(pid_t program, int control, int& status)
{
    const int exitNotice = static_cast<int>(::syscall(SYS_pidfd_open, program, 0));
    for (;;) {
        for (;;) {
            int reapedStatus = 0;
            const pid_t reaped = ::waitpid(-1, &reapedStatus, WNOHANG);
            if (reaped <= 0)
                break;
            if (reaped == program) {
                status = reapedStatus;
                if (exitNotice >= 0)
                    ::close(exitNotice);
                return true;
            }
        }
        pollfd watched[2] = {{control, POLLIN, 0}, {exitNotice, POLLIN, 0}};
        const int ready
            = ::poll(watched, exitNotice >= 0 ? 2 : 1, exitNotice >= 0 ? -1 : kPollSliceMilliseconds);
        if (ready < 0 && errno != EINTR)
            SleepMilliseconds(kPollSliceMilliseconds);
        if (ready > 0 && watched[0].revents != 0) {
            if (exitNotice >= 0)
                ::close(exitNotice);
            return false;
        }
    }
}

[[noreturn]] void StartProgram(const KeeperSetup& setup, int output, int error, int report)
{
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard
    {
    };
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP)
            ::sigaction(signal, &standard, nullptr);
    }
    // A session of its own: no terminal to prompt on.
    ::setsid();
    const int input = ::open("/dev/null", O_RDONLY);
    if (input < 0) {
        Report(report, KeeperMessage::ExecFailed, errno);
        ::_exit(127);
    }
    if (input != STDIN_FILENO) {
        ::dup2(input, STDIN_FILENO);
        ::close(input);
    }
    // The pipes' ends are 3 or above and close on exec; their copies as 1 and 2 do not.
    ::dup2(output, STDOUT_FILENO);
    ::dup2(error, STDERR_FILENO);
    ::execve(setup.program, setup.argv, setup.environment);
    Report(report, KeeperMessage::ExecFailed, errno);
    ::_exit(127);
}

} // namespace

void RunKeeper(const KeeperSetup& setup)
{
    // Below 3 they would be overwritten by the program's standard streams (a panel started with
    // one of them closed gets pipes there).
    int kept[4] = {setup.outputWriteEnd, setup.errorWriteEnd, setup.reportWriteEnd, setup.controlReadEnd};
    for (int& fd : kept) {
        if (fd < 3) {
            const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (moved < 0)
                ::_exit(1);
            ::close(fd);
            fd = moved;
        }
    }
    const auto [output, error, report, control] = kept;
    // The panel's other descriptors, other runs' pipes among them, must not live on here.
    CloseAllBut(kept);
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    ::setsid();

    const pid_t program = ::fork();
    if (program < 0) {
        Report(report, KeeperMessage::ForkFailed, errno);
        ::_exit(1);
    }
    if (program == 0)
        StartProgram(setup, output, error, report);
    ::close(output);
    ::close(error);
    Report(report, KeeperMessage::Started, program);
    int status = 0;
    if (WaitForProgram(program, control, status))
        Report(report, KeeperMessage::Ended, status);
    Sweep();
    ::_exit(0);
}

} // namespace larkspan
