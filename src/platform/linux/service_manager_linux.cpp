// Services on Linux: the bundle's stand-in of net (bin/net) starts a server and returns once it
// answers, or stops it and returns once it is gone; its exit status and what it printed are the
// answer. The servers it starts leave its session and outlive it.
#include "config/ascii_text.h"
#include "config/file_tail.h"
#include "config/text_lines.h"
#include "platform/background_tasks.h"
#include "platform/linux/services_log_linux.h"
#include "platform/linux/spawn_setup_linux.h"
#include "platform/service_manager.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace larkspan {

namespace {

using Outcome = ServiceAnswer::Outcome;

constexpr std::size_t kOutputLimit = 64 * 1024;

// The stand-in's own words on the command: its last line naming the service, else its last line.
std::string LastWords(std::string_view output, std::string_view service)
{
    std::string last;
    std::string naming;
    ForEachLine(output, [&](const TextLine& line) {
        const std::string_view text = Trim(output.substr(line.begin, line.textEnd - line.begin));
        if (text.empty())
            return;
        last = std::string(text);
        if (text.find(service) != std::string_view::npos)
            naming = last;
    });
    return naming.empty() ? last : naming;
}

ServiceAnswer RunStandIn(const std::string& appDir, const std::string& logFile, ServiceAction action,
    const std::string& name, std::chrono::milliseconds limit, const std::stop_token& stop)
{
    const std::string program = appDir + "/bin/net";
    struct stat info
    {
    };
    if (::stat(program.c_str(), &info) != 0)
        return {Outcome::Failed, catalogue::StandInMissing("net", appDir + "/bin")};
    if (!S_ISREG(info.st_mode) || ::access(program.c_str(), X_OK) != 0)
        return {Outcome::Failed,
            program + ": "
                + (S_ISREG(info.st_mode) ? std::strerror(errno) : std::string(catalogue::kNotRegularFile))};

    // What it prints goes to the services log, as every hidden program's output: a server it starts
    // may keep writing there long after it has gone.
    const std::uint64_t logStart = logFile.empty() ? 0 : RegularFileSize(logFile).value_or(0);
    const FileDescriptor log(logFile.empty() ? -1 : OpenServicesLog(logFile));
    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    SendOutputTo(setup.actions, log.get());
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);
    std::vector<std::string> words {program, action == ServiceAction::Start ? "start" : "stop", name};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int result
        = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
        result != 0)
        return {Outcome::Failed, program + ": " + std::strerror(result)};

    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (ended < 0 && errno != EINTR)
            return {Outcome::Failed, program + ": " + std::strerror(errno)};
        if (std::chrono::steady_clock::now() >= deadline || stop.stop_requested()) {
            // It has its own bound; whenever it ends, it is reaped.
            std::thread([pid] {
                int ignored = 0;
                while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) { }
            }).detach();
            return {Outcome::TimedOut, {}};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {Outcome::Done, {}};

    FileTail tail;
    bool missing = false;
    std::string said;
    if (!logFile.empty() && ReadFileTail(logFile, logStart, kOutputLimit, tail, missing).ok())
        said = LastWords(tail.bytes, name);
    if (said.empty())
        said = WIFEXITED(status) ? catalogue::ProgramExitCode("net", WEXITSTATUS(status))
                                 : catalogue::ProgramCrashed("net");
    return {Outcome::Failed, said};
}

class LinuxServiceManager final : public ServiceManager
{
public:
    LinuxServiceManager(std::string appDir, std::string logFile, BackgroundTasks::Post post)
        : m_appDir(std::move(appDir))
        , m_logFile(std::move(logFile))
        , m_tasks(std::move(post))
    { }

    // Nothing on Linux asks for rights the way Windows' consent prompt does.
    bool CanElevate() const override { return false; }

    void Run(ServiceAction action, const std::string& name, bool /*elevated*/,
        std::chrono::milliseconds limit, std::function<void(const ServiceAnswer&)> done) override
    {
        const Status started = m_tasks.Start(
            [=, this](
                std::stop_token stop) { return RunStandIn(m_appDir, m_logFile, action, name, limit, stop); },
            [done](const ServiceAnswer& answer) { done(answer); });
        if (!started.ok())
            m_tasks.RunLater([done, reason = started.message()] { done({Outcome::Failed, reason}); });
    }

private:
    std::string m_appDir;
    std::string m_logFile;
    BackgroundTasks m_tasks;
};

} // namespace

std::unique_ptr<ServiceManager> MakeSystemServiceManager(
    std::string appDir, std::string logFile, std::function<void(std::function<void()>)> post)
{
    return std::make_unique<LinuxServiceManager>(std::move(appDir), std::move(logFile), std::move(post));
}

} // namespace larkspan
