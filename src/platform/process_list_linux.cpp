#include "process_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <string>

namespace larkspan {

namespace {

// The kernel keeps at most this many bytes of a process name in /proc/PID/comm.
constexpr std::size_t kCommLength = 15;

// Reads a small /proc file relative to the snapshot's directory. Empty when the process has gone.
std::string ReadProcFile(int procFd, const std::string& relativePath)
{
    const int fd = ::openat(procFd, relativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::array<char, 4096> buffer {};
    std::string content;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(got));
        // A name is all that is needed; argv[0] ends at the first NUL.
        if (content.find('\0') != std::string::npos)
            break;
    }
    ::close(fd);
    return content;
}

bool IsProcessDirectory(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; ++name) {
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    }
    return true;
}

// The name a process was started as: its comm, unless the kernel cut it short, in which case the
// base name of argv[0] when that begins with the cut name (argv[0] can be rewritten by the program).
bool ImageNameEquals(int procFd, const std::string& pid, std::string_view imageName)
{
    std::string comm = ReadProcFile(procFd, pid + "/comm");
    if (!comm.empty() && comm.back() == '\n')
        comm.pop_back();
    if (comm.empty())
        return false;
    if (comm.size() < kCommLength)
        return comm == imageName;
    if (imageName.substr(0, comm.size()) != comm)
        return false;

    const std::string commandLine = ReadProcFile(procFd, pid + "/cmdline");
    const std::string_view argv0(commandLine.c_str());
    const std::size_t slash = argv0.rfind('/');
    const std::string_view baseName = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
    if (baseName.substr(0, comm.size()) == comm)
        return baseName == imageName;
    return comm == imageName;
}

// An ended process whose parent has not yet collected it is no longer running.
bool IsZombie(int procFd, const std::string& pid)
{
    const std::string stat = ReadProcFile(procFd, pid + "/stat");
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= stat.size())
        return true;
    const char state = stat[nameEnd + 2];
    return state == 'Z' || state == 'X';
}

class ProcProcessList final : public ProcessList {
public:
    int CountProcesses(std::string_view imageName) override
    {
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr)
            return 0;
        const int procFd = ::dirfd(proc);
        int count = 0;
        // A process that ends during the scan simply has no readable name and is not counted.
        while (const dirent* entry = ::readdir(proc)) {
            if (!IsProcessDirectory(entry->d_name))
                continue;
            const std::string pid(entry->d_name);
            if (ImageNameEquals(procFd, pid, imageName) && !IsZombie(procFd, pid))
                ++count;
        }
        ::closedir(proc);
        return count;
    }
};

} // namespace

std::unique_ptr<ProcessList> MakeSystemProcessList() { return std::make_unique<ProcProcessList>(); }

} // namespace larkspan
