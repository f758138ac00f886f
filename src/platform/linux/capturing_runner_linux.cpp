#include "platform/capturing_runner.h"
#include "platform/linux/run_keeper_linux.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
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
// Once the program has ended, how long what it left behind may keep its output open: by then the
// keeper has ended all of that, but for a process that cannot be killed at once.
constexpr std::chrono::milliseconds kDrainAfterExit(1000);

// Waits until something can be read from the run's pipes or its keeper's report, at most until
// `until` and one stop slice, and reads it. A pipe whose writers have all gone is closed. Returns
// false on an error of poll.
bool ReadSome(std::array<Pipe*, 3> pipes, std::array<std::string*, 2> kept,
    std::vector<KeeperMessage>& messages, std::chrono::steady_clock::time_point until)
{
    std::array<pollfd, 3> watched {};
    std::array<std::size_t, 3> which {};
    nfds_t count = 0;
    for (std::size_t i = 0; i < pipes.size(); ++i) {
        if (pipes[i]->readEnd() >= 0) {
            watched[count] = {pipes[i]->readEnd(), POLLIN, 0};
            which[count++] = i;
        }
    }
    const auto left = std::max(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()),
        std::chrono::milliseconds(0));
    const int ready = ::poll(watched.data(), count, static_cast<int>(std::min(left, kStopSlice).count()));
    if (ready < 0)
        return errno == EINTR;
    for (nfds_t i = 0; ready > 0 && i < count; ++i) {
        if (watched[i].revents == 0)
            continue;
        char buffer[65536];
        const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            pipes[which[i]]->CloseReadEnd();
            continue;
        }
        if (which[i] == 2) {
            // The keeper writes whole messages, each far below the size written at once.
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(KeeperMessage)) <= got;
                 at += sizeof(KeeperMessage)) {
                KeeperMessage message;
                std::memcpy(&message, buffer + at, sizeof message);
                messages.push_back(message);
            }
            continue;
        }
        // The rest is read and dropped, so a talkative program never blocks on a full pipe.
        std::string& text = *kept[which[i]];
        if (text.size() < kKeptBytes)
            text.append(buffer, std::min(static_cast<std::size_t>(got), kKeptBytes - text.size()));
    }
    return true;
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
        Pipe report;
        Pipe control;
        if (!output.ok() || !error.ok() || !report.ok() || !control.ok())
            return NotStarted(program, errno);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const KeeperSetup setup {program.c_str(), argv.data(), environ, output.writeEnd(), error.writeEnd(),
            report.writeEnd(), control.readEnd()};
        // The keeper, not the panel, adopts what the program leaves behind (run_keeper_linux.h).
        const pid_t keeper = ::fork();
        if (keeper < 0)
            return NotStarted(program, errno);
        if (keeper == 0)
            RunKeeper(setup);
        output.CloseWriteEnd();
        error.CloseWriteEnd();
        report.CloseWriteEnd();
        control.CloseReadEnd();

        CapturedRun run;
        std::vector<KeeperMessage> messages;
        std::optional<int> ended; // the program's wait status
        std::optional<int> startError;
        // Set when the program has ended (or its keeper has): its end is the end of the run, and
        // what it wrote is in the pipes already.
        std::optional<std::chrono::steady_clock::time_point> drainUntil;
        bool timedOut = false;
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (drainUntil) {
                if ((output.readEnd() < 0 && error.readEnd() < 0) || now >= *drainUntil)
                    break;
            } else if (now >= deadline || stop.stop_requested()) {
                timedOut = true;
                break;
            }
            if (!ReadSome({&output, &error, &report}, {&run.standardOutput, &run.standardError}, messages,
                    drainUntil.value_or(deadline)))
                break;
            for (const KeeperMessage& message : std::exchange(messages, {})) {
                if (message.kind == KeeperMessage::Ended)
                    ended = message.value;
                else if (message.kind != KeeperMessage::Started)
                    startError = message.value;
            }
            if (!drainUntil && (ended || startError || report.readEnd() < 0))
                drainUntil = std::chrono::steady_clock::now() + kDrainAfterExit;
        }
        // Tells the keeper that the run is over: it ends what is left, the program too on a time
        // limit or a stop.
        control.CloseWriteEnd();
        int status = 0;
        while (::waitpid(keeper, &status, 0) < 0 && errno == EINTR) { }

        if (startError)
            return NotStarted(program, *startError);
        if (timedOut)
            run.outcome = CapturedRun::Outcome::TimedOut;
        else if (ended && WIFEXITED(*ended)) {
            run.outcome = CapturedRun::Outcome::Exited;
            run.exitCode = WEXITSTATUS(*ended);
        } else
            run.outcome = CapturedRun::Outcome::Crashed; // by a signal, or its keeper was killed
        return run;
    }
};

} // namespace

std::unique_ptr<CapturingRunner> MakeSystemCapturingRunner()
{
    return std::make_unique<SystemCapturingRunner>();
}

} // namespace larkspan
