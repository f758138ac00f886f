#include "platform/linux/proc_linux.h"
#include "platform/process_list.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <span>
#include <string>
#include <string_view>
#include <unistd.h>

namespace larkspan {

namespace {

// The kernel keeps at most this many bytes of a process name in /proc/PID/comm.
constexpr std::size_t kCommLength = 15;

// Enough for comm, for the start of stat up to the state, and for a long argv[0].
using Buffer = std::array<char, 4096>;

// Reads the start of /proc/PID/<file> of the snapshot. Empty when the process has gone.
std::string_view ReadProcFile(int procFd, std::string_view pid, const char* file, Buffer& buffer)
{
    std::array<char, 64> path {};
    std::snprintf(path.data(), path.size(), "%.*s/%s", static_cast<int>(pid.size()), pid.data(), file);
    const int fd = ::openat(procFd, path.data(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    return got > 0 ? std::string_view(buffer.data(), static_cast<std::size_t>(got)) : std::string_view();
}

std::string_view Comm(int procFd, std::string_view pid, Buffer& buffer)
{
    std::string_view comm = ReadProcFile(procFd, pid, "comm", buffer);
    if (!comm.empty() && comm.back() == '\n')
        comm.remove_suffix(1);
    return comm;
}

// The whole name behind a comm the kernel cut short: the base name of argv[0] when that begins
// with the cut name (a program can rewrite its argv[0]), else the cut name itself.
std::string_view LongImageName(int procFd, std::string_view pid, std::string_view comm, Buffer& buffer)
{
    const std::string_view commandLine = ReadProcFile(procFd, pid, "cmdline", buffer);
    const std::string_view argv0 = commandLine.substr(0, commandLine.find('\0'));
    const std::size_t slash = argv0.rfind('/');
    const std::string_view baseName = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
    return baseName.starts_with(comm) ? baseName : comm;
}

// Which of `imageNames` the process has, or npos for none.
std::size_t MatchingName(int procFd, std::string_view pid, std::span<const std::string_view> imageNames)
{
    Buffer commBuffer;
    const std::string_view comm = Comm(procFd, pid, commBuffer);
    if (comm.empty())
        return std::string_view::npos;
    if (comm.size() < kCommLength) {
        const auto found = std::find(imageNames.begin(), imageNames.end(), comm);
        return found == imageNames.end() ? std::string_view::npos
                                         : static_cast<std::size_t>(found - imageNames.begin());
    }
    // Most long names differ already in their first 15 bytes: no need to read the command line.
    if (std::none_of(imageNames.begin(), imageNames.end(),
            [comm](std::string_view name) { return name.starts_with(comm); }))
        return std::string_view::npos;
    Buffer commandLineBuffer;
    const std::string_view name = LongImageName(procFd, pid, comm, commandLineBuffer);
    const auto found = std::find(imageNames.begin(), imageNames.end(), name);
    return found == imageNames.end() ? std::string_view::npos
                                     : static_cast<std::size_t>(found - imageNames.begin());
}

// An ended process whose parent has not yet collected it is no longer running.
bool IsZombie(int procFd, std::string_view pid)
{
    Buffer buffer;
    const std::string_view stat = ReadProcFile(procFd, pid, "stat", buffer);
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string_view::npos || nameEnd + 2 >= stat.size())
        return true;
    const char state = stat[nameEnd + 2];
    return state == 'Z' || state == 'X';
}

class ProcProcessList final : public ProcessList
{
public:
    int CountProcesses(std::string_view imageName) override
    {
        int count = 0;
        CountEach(std::span(&imageName, 1), std::span(&count, 1));
        return count;
    }

    void CountEach(std::span<const std::string_view> imageNames, std::span<int> counts) override
    {
        std::fill(counts.begin(), counts.end(), 0);
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr)
            return;
        const int procFd = ::dirfd(proc);
        const std::span<const std::string_view> names
            = imageNames.first(std::min(imageNames.size(), counts.size()));
        // A process that ends during the scan simply has no readable name and is not counted.
        while (const dirent* entry = ::readdir(proc)) {
            const std::string_view pid(entry->d_name);
            if (!proc::IsProcessDirectory(pid))
                continue;
            if (const std::size_t match = MatchingName(procFd, pid, names);
                match != std::string_view::npos && !IsZombie(procFd, pid))
                ++counts[match];
        }
        ::closedir(proc);
    }
};

} // namespace

namespace proc {

bool IsProcessDirectory(std::string_view name)
{
    if (name.empty())
        return false;
    for (const char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

std::string ImageName(int procFd, std::string_view pid)
{
    Buffer commBuffer;
    const std::string_view comm = Comm(procFd, pid, commBuffer);
    if (comm.size() < kCommLength)
        return std::string(comm);
    Buffer commandLineBuffer;
    return std::string(LongImageName(procFd, pid, comm, commandLineBuffer));
}

} // namespace proc

std::unique_ptr<ProcessList> MakeSystemProcessList()
{
    return std::make_unique<ProcProcessList>();
}

} // namespace larkspan
