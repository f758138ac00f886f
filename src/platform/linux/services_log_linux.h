#pragma once
// Shared by the Linux launcher and service manager: the log that hidden programs write into.

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

/// Owns a file descriptor and closes it once.
class FileDescriptor final
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    { }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

/// The services log of hidden programs, opened for appending, or -1 to send their output nowhere.
/// Only a regular file will do: opening a FIFO for writing waits for a reader, which would freeze
/// the window.
inline int OpenServicesLog(const std::string& path)
{
    const int fd
        = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    // The programs that inherit it expect ordinary blocking writes.
    ::fcntl(fd, F_SETFL, O_APPEND);
    return fd;
}

/// Sends a hidden program's output and errors to the services log `log`, or nowhere when it is -1.
inline void SendOutputTo(posix_spawn_file_actions_t& actions, int log)
{
    if (log >= 0) {
        posix_spawn_file_actions_adddup2(&actions, log, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, log, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
}

} // namespace larkspan
