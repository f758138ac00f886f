// Listening sockets from /proc/net/tcp and tcp6, their owners from the socket links in /proc/*/fd.
#include "platform/linux/proc_linux.h"
#include "platform/tcp_listeners.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace larkspan {

namespace {

constexpr std::string_view kListenState = "0A";

std::string ReadAll(const char* path)
{
    std::string content;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    return content;
}

// The fields of one line, split at blanks: "sl local rem st tx:rx tr:when retrnsmt uid timeout inode".
std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t begin = line.find_first_not_of(' ', at);
        if (begin == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', begin), line.size());
        fields.push_back(line.substr(begin, end - begin));
        at = end;
    }
    return fields;
}

// Adds the inodes of the table's listening sockets on `port`.
void ListeningInodes(const char* table, std::uint16_t port, std::vector<unsigned long>& inodes)
{
    const std::string content = ReadAll(table);
    std::size_t at = content.find('\n'); // the heading
    while (at != std::string::npos && at + 1 < content.size()) {
        const std::size_t next = content.find('\n', at + 1);
        const auto fields = Fields(std::string_view(content).substr(at + 1, next - at - 1));
        at = next;
        if (fields.size() < 10 || fields[3] != kListenState)
            continue;
        const std::string_view local = fields[1];
        const std::size_t colon = local.rfind(':');
        unsigned localPort = 0;
        unsigned long inode = 0;
        if (colon == std::string_view::npos
            || std::from_chars(local.data() + colon + 1, local.data() + local.size(), localPort, 16).ec
                != std::errc()
            || localPort != port
            || std::from_chars(fields[9].data(), fields[9].data() + fields[9].size(), inode).ec
                != std::errc())
            continue;
        inodes.push_back(inode);
    }
}

// Whether one of the process's open files is one of the sockets; the process's fd folder may be
// closed to us (another user's process) or gone (the process ended).
bool HoldsSocket(
    int procFd, std::string_view pid, const std::vector<unsigned long>& inodes, std::vector<bool>& seen)
{
    char path[64];
    std::snprintf(path, sizeof path, "%.*s/fd", static_cast<int>(pid.size()), pid.data());
    const int fdFolder = ::openat(procFd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder < 0)
        return false;
    DIR* fds = ::fdopendir(fdFolder);
    if (fds == nullptr) {
        ::close(fdFolder);
        return false;
    }
    bool holds = false;
    char target[64];
    while (const dirent* entry = ::readdir(fds)) {
        const ssize_t length = ::readlinkat(fdFolder, entry->d_name, target, sizeof target - 1);
        if (length <= 8 || std::string_view(target, 8) != "socket:[")
            continue;
        unsigned long inode = 0;
        if (std::from_chars(target + 8, target + length, inode).ec != std::errc())
            continue;
        const auto found = std::find(inodes.begin(), inodes.end(), inode);
        if (found != inodes.end()) {
            seen[static_cast<std::size_t>(found - inodes.begin())] = true;
            holds = true;
        }
    }
    ::closedir(fds);
    return holds;
}

class ProcTcpListeners final : public TcpListeners
{
public:
    std::vector<TcpListener> ListenersOn(std::uint16_t port) override
    {
        std::vector<unsigned long> inodes;
        ListeningInodes("/proc/net/tcp", port, inodes);
        ListeningInodes("/proc/net/tcp6", port, inodes);
        std::vector<TcpListener> listeners;
        if (inodes.empty())
            return listeners;

        std::vector<bool> seen(inodes.size(), false);
        if (DIR* proc = ::opendir("/proc")) {
            const int procFd = ::dirfd(proc);
            while (const dirent* entry = ::readdir(proc)) {
                const std::string_view pid(entry->d_name);
                if (!proc::IsProcessDirectory(pid) || !HoldsSocket(procFd, pid, inodes, seen))
                    continue;
                int processId = 0;
                std::from_chars(pid.data(), pid.data() + pid.size(), processId);
                // A process without a name has ended since its sockets were read.
                if (std::string name = proc::ImageName(procFd, pid); !name.empty())
                    listeners.push_back({processId, std::move(name)});
            }
            ::closedir(proc);
        }
        if (std::find(seen.begin(), seen.end(), false) != seen.end())
            listeners.push_back({});
        return listeners;
    }
};

} // namespace

std::unique_ptr<TcpListeners> MakeSystemTcpListeners()
{
    return std::make_unique<ProcTcpListeners>();
}

} // namespace larkspan
