#include "config/bundle_paths.h"
#include "config/native_path.h"
#include "platform/launcher.h"
#include "platform/linux/services_log_linux.h"
#include "platform/linux/spawn_setup_linux.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

std::string ErrorText(int error)
{
    return std::strerror(error);
}

/// Why `path` cannot be executed, or nothing when it can.
std::optional<std::string> ExecutableProblem(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return ErrorText(errno);
    if (S_ISDIR(info.st_mode))
        return ErrorText(EISDIR);
    if (!S_ISREG(info.st_mode))
        return std::string(catalogue::kNotRegularFile);
    if (::access(path.c_str(), X_OK) != 0)
        return ErrorText(errno);
    return std::nullopt;
}

bool IsBareName(const std::string& program)
{
    return program.find_first_of("/\\") == std::string::npos;
}

class LinuxLauncher final : public Launcher
{
public:
    LinuxLauncher(std::string appDir, std::string logFile)
        : m_appDir(std::move(appDir))
        , m_logFile(std::move(logFile))
    { }

    Status LaunchProgram(const Command& command, WindowStyle style) override
    {
        if (command.program.empty())
            return Status::Failure(std::string(catalogue::kNoProgram) + ": " + ErrorText(ENOENT));

        Command native = NativeCommand(command);
        std::string& executable = native.program;
        if (IsBareName(command.program)) {
            // Bare names are the Windows programs ("net", "cmd"): only the bundle's stand-ins play
            // them; a system program of the same name (Samba's net) must never run instead.
            const std::string standIns = NativePath(InBundle(m_appDir, paths::kStandIns));
            executable = standIns + "/" + command.program;
            struct stat info
            {
            };
            if (::stat(executable.c_str(), &info) != 0)
                return Status::Failure(catalogue::StandInMissing(command.program, standIns));
        }
        if (auto problem = ExecutableProblem(executable))
            return Status::Failure(executable + ": " + *problem);

        std::vector<std::string> words = ArgumentVector(native);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        // A session of its own: the program outlives the panel and never gets its terminal's signals.
        SpawnSetup setup;

        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        // Opened here rather than in the child so that a missing log folder never stops a server.
        FileDescriptor log(
            style == WindowStyle::Hidden && !m_logFile.empty() ? OpenServicesLog(m_logFile) : -1);
        if (style == WindowStyle::Hidden)
            SendOutputTo(setup.actions, log.get());
        // Servers live long; no descriptor of the panel (its instance lock above all) may live on in them.
        posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

        pid_t pid = 0;
        const int result = ::posix_spawn(
            &pid, executable.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
        if (result != 0)
            return Status::Failure(executable + ": " + ErrorText(result));

        // Reap the child whenever it ends, so finished programs never linger as zombies.
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        }).detach();
        return Status::Success();
    }

private:
    std::string m_appDir;
    std::string m_logFile;
};

} // namespace

std::unique_ptr<Launcher> MakeSystemLauncher(std::string appDir, std::string logFile)
{
    return std::make_unique<LinuxLauncher>(std::move(appDir), std::move(logFile));
}

} // namespace larkspan
