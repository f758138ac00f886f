#include "config/text_file.h"
#include "platform/desktop_shortcuts.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace larkspan {

namespace {

std::string TrimEnd(std::string text)
{
    while (!text.empty()
        && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

/// The answer of `xdg-user-dir DESKTOP`, which reads the user's user-dirs.dirs; nothing when the
/// tool is missing or fails.
std::optional<std::string> AskXdgUserDir()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char program[] = "xdg-user-dir";
    char which[] = "DESKTOP";
    char* argv[] = {program, which, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return std::nullopt;
    }

    std::string output;
    char buffer[512];
    for (;;) {
        const ssize_t count = read(fds[0], buffer, sizeof buffer);
        if (count > 0)
            output.append(buffer, static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);

    int waitStatus = 0;
    while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) { }
    output = TrimEnd(std::move(output));
    if (!WIFEXITED(waitStatus) || WEXITSTATUS(waitStatus) != 0 || output.empty())
        return std::nullopt;
    return output;
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

class LinuxDesktopShortcuts final : public DesktopShortcuts
{
public:
    Status FindDesktopFolder(std::string& folder) override
    {
        std::string found = AskXdgUserDir().value_or(HomeDirectory() + "/Desktop");
        while (found.size() > 1 && found.back() == '/')
            found.pop_back();
        struct stat info
        {
        };
        if (stat(found.c_str(), &info) != 0)
            return Status::Failure(catalogue::DesktopFolderProblem(found, std::strerror(errno)));
        if (!S_ISDIR(info.st_mode))
            return Status::Failure(catalogue::DesktopFolderProblem(found, std::strerror(ENOTDIR)));
        folder = std::move(found);
        return Status::Success();
    }

    Status WriteInternetShortcut(
        const std::string& folder, std::string_view name, std::string_view target) override
    {
        const std::string path = (folder == "/" ? folder : folder + "/") + std::string(name);
        return WriteFileAtomically(path, FreedesktopLinkText(name, target));
    }
};

} // namespace

std::string FreedesktopLinkText(std::string_view name, std::string_view target)
{
    const size_t dot = name.rfind('.');
    const std::string_view title = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    return "[Desktop Entry]\nType=Link\nName=" + std::string(title) + "\nURL=" + std::string(target) + "\n";
}

std::unique_ptr<DesktopShortcuts> MakeSystemDesktopShortcuts()
{
    return std::make_unique<LinuxDesktopShortcuts>();
}

} // namespace larkspan
