#include "platform/capturing_runner.h"
#include "platform/linux/spawn_setup_linux.h"
#include "texts/catalogue.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace larkspan {
namespace {

constexpr std::size_t kKeptBytes = 4u << 20;

class Pipe final
{
public:
    Pipe()
    {
        if (::pipe2(m_ends.data(), O_CLOEXEC) != 0)
            m_ends = {-1, -1};
    }
    ~Pipe()
    {
        CloseReadEnd();
        CloseWriteEnd();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool ok() const { return m_ends[0] >= 0; }
    int readEnd() const { return m_ends[0]; }
    int writeEnd() const { return m_ends[1]; }
    void CloseReadEnd() { Close(m_ends[0]); }
    void CloseWriteEnd() { Close(m_ends[1]); }

private:
    static void Close(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    std::array<int, 2> m_ends {-1, -1};
};

CapturedRun NotStarted(const std::string& program, int error)
{
    CapturedRun run;
    run.standardError = program + ": " + std::strerror(error);
    return run;
}

// How long a wait may go on before a stop request is looked at.
constexpr std::chrono::milliseconds kStopSlice(50);

// Reads both pipes until the program has closed them. Returns false on the deadline or a stop
// request.
bool Drain(Pipe& output, Pipe& error, CapturedRun& run, std::chrono::steady_clock::time_point deadline,
    const std::stop_token& stop)
{
    std::array<Pipe*, 2> pipes {&output, &error};
    std::array<std::string*, 2> kept {&run.standardOutput, &run.standardError};
    for (;;) {
        std::array<pollfd, 2> watched {};
        nfds_t count = 0;
        std::array<std::size_t, 2> which {};
        for (std::size_t i = 0; i < pipes.size(); ++i) {
            if (pipes[i]->readEnd() >= 0) {
                watched[count] = {pipes[i]->readEnd(), POLLIN, 0};
                which[count++] = i;
            }
        }
        if (count == 0)
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || stop.stop_requested())
            return false;
        const int ready = ::poll(watched.data(), count, static_cast<int>(std::min(left, kStopSlice).count()));
        if (ready < 0 && errno != EINTR)
            return false;
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (watched[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            std::string& text = *kept[which[i]];
            if (got <= 0)
                pipes[which[i]]->CloseReadEnd();
            // The rest is read and dropped, so a talkative program never blocks on a full pipe.
            else if (text.size() < kKeptBytes)
                text.append(buffer, std::min(static_cast<std::size_t>(got), kKeptBytes - text.size()));
        }
    }
}

// Waits until `pid` has ended, without reaping it. Returns false on the deadline or a stop request.
bool WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline, const std::stop_token& stop)
{
    for (;;) {
        siginfo_t info {};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0
            && info.si_pid == pid)
            return true;
        if (std::chrono::steady_clock::now() >= deadline || stop.stop_requested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

class SystemCapturingRunner final : public CapturingRunner
{
public:
    CapturedRun Run(
        const Command& command, std::chrono::milliseconds timeLimit, std::stop_token stop) override
    {
        const auto deadline = std::chrono::steady_clock::now() + timeLimit;
        std::vector<std::string> words = ArgumentVector(NativeCommand(command));
        const std::string& program = words.front();
        struct stat info
        {
        };
        if (::stat(program.c_str(), &info) != 0)
            return NotStarted(program, errno);
        if (S_ISDIR(info.st_mode))
            return NotStarted(program, EISDIR);
        if (!S_ISREG(info.st_mode)) {
            CapturedRun run;
            run.standardError = program + ": " + std::string(catalogue::kNotRegularFile);
            return run;
        }

        Pipe output;
        Pipe error;
        if (!output.ok() || !error.ok())
            return NotStarted(program, errno);
        // A session of its own: no terminal to prompt on, and one group to kill on the deadline.
        SpawnSetup setup;
        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&setup.actions, output.writeEnd(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&setup.actions, error.writeEnd(), STDERR_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (const int result
            = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
            result != 0)
            return NotStarted(program, result);
        output.CloseWriteEnd();
        error.CloseWriteEnd();

        CapturedRun run;
        bool finished = Drain(output, error, run, deadline, stop);
        finished = finished && WaitForExit(pid, deadline, stop);
        // Whatever the program started lives in its group and may not outlive the run. Killed
        // before the program is reaped, so that the group's id cannot have been reused yet.
        ::kill(-pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        if (!finished)
            run.outcome = CapturedRun::Outcome::TimedOut;
        else if (WIFEXITED(status)) {
            run.outcome = CapturedRun::Outcome::Exited;
            run.exitCode = WEXITSTATUS(status);
        } else
            run.outcome = CapturedRun::Outcome::Crashed;
        return run;
    }
};

} // namespace

std::unique_ptr<CapturingRunner> MakeSystemCapturingRunner()
{
    return std::make_unique<SystemCapturingRunner>();
}

} // namespace larkspan
