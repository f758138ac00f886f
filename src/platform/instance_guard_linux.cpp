#include "instance_guard.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace larkspan {

namespace {

std::string LockDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return runtime;
    return "/tmp";
}

// flock() belongs to the open file: the kernel drops it when the process ends in any way, so a
// crashed instance never leaves a stale lock behind.
class FlockInstanceGuard final : public InstanceGuard
{
public:
    explicit FlockInstanceGuard(std::string name)
        : m_name(std::move(name))
    { }
    ~FlockInstanceGuard() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FlockInstanceGuard(const FlockInstanceGuard&) = delete;
    FlockInstanceGuard& operator=(const FlockInstanceGuard&) = delete;

    bool TryAcquire() override
    {
        if (m_fd >= 0)
            return true;
        // In the shared /tmp the user id keeps users apart.
        const std::string path = LockDirectory() + "/" + m_name + "-" + std::to_string(::getuid()) + ".lock";
        // O_CLOEXEC: servers started by the panel must not inherit, and so keep, the lock.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            // Without a lock file nothing can tell a second instance; starting is better than
            // refusing forever with a message that would be untrue.
            return true;
        }
        int result = 0;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int reason = errno;
            ::close(fd);
            return reason != EWOULDBLOCK;
        }
        m_fd = fd;
        return true;
    }

private:
    std::string m_name;
    int m_fd = -1;
};

} // namespace

std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string name)
{
    return std::make_unique<FlockInstanceGuard>(std::move(name));
}

} // namespace larkspan
