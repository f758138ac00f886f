#include "platform/instance_guard.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {

namespace {

using catalogue::kFolderIsSymlink;
using catalogue::kLockNotRegularFile;
using catalogue::kNotADirectory;
using catalogue::kOwnedByAnother;

InstanceClaim Unavailable(std::string problem)
{
    return {InstanceClaim::Outcome::Unavailable, std::move(problem)};
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// $XDG_RUNTIME_DIR, when it is a folder of the user's that no one else may write to.
int OpenRuntimeDirectory(std::string& folder)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/')
        return -1;
    const int fd = ::open(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || status.st_uid != ::geteuid() || (status.st_mode & 022) != 0) {
        ::close(fd);
        return -1;
    }
    folder = runtime;
    return fd;
}

// A folder of the user's own in the shared temporary directory: a lock file directly there could
// be planted as a symlink, or created and held by another user. Made with mode 0700, used only
// when it is a real directory (no symlink) owned by the user; one left open to others is closed.
// Returns -1 and says why when it cannot be made safe.
int OpenPrivateDirectory(const std::string& folder, std::string& problem)
{
    const auto fail = [&](const std::string& reason) {
        problem = folder + ": " + reason;
        return -1;
    };
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fail(std::strerror(errno));
    struct stat named
    {
    };
    if (::lstat(folder.c_str(), &named) != 0)
        return fail(std::strerror(errno));
    if (S_ISLNK(named.st_mode))
        return fail(std::string(kFolderIsSymlink));
    if (!S_ISDIR(named.st_mode))
        return fail(std::string(kNotADirectory));
    if (named.st_uid != ::geteuid())
        return fail(std::string(kOwnedByAnother) + "（uid " + std::to_string(named.st_uid) + "）");

    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(std::strerror(errno));
    struct stat opened
    {
    };
    int error = ::fstat(fd, &opened) != 0 ? errno : 0;
    if (error == 0 && !SameFile(opened, named))
        error = EAGAIN; // replaced between the check and the open
    if (error == 0 && (opened.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)
        error = errno;
    if (error != 0) {
        ::close(fd);
        return fail(std::strerror(error));
    }
    return fd;
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

    InstanceClaim TryAcquire() override
    {
        if (m_fd >= 0)
            return {};
        const std::string user = std::to_string(::geteuid());
        std::string folder;
        int directory = OpenRuntimeDirectory(folder);
        if (directory < 0) {
            folder = "/tmp/" + m_name + "-" + user;
            std::string problem;
            directory = OpenPrivateDirectory(folder, problem);
            if (directory < 0)
                return Unavailable(std::move(problem));
        }
        const std::string name = m_name + "-" + user + ".lock";
        const std::string path = folder + "/" + name;
        // O_CLOEXEC: servers started by the panel must not inherit, and so keep, the lock.
        const int fd = ::openat(
            directory, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        const int openError = errno;
        ::close(directory);
        if (fd < 0)
            return Unavailable(path + ": " + std::strerror(openError));

        // In a folder only the user can write to, neither can be planted; checked all the same.
        struct stat status
        {
        };
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
            ::close(fd);
            return Unavailable(
                path + ": " + std::string(S_ISREG(status.st_mode) ? kOwnedByAnother : kLockNotRegularFile));
        }
        int result = 0;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int reason = errno;
            ::close(fd);
            if (reason == EWOULDBLOCK)
                return {InstanceClaim::Outcome::HeldByAnother, {}};
            return Unavailable(path + ": " + std::strerror(reason));
        }
        m_fd = fd;
        return {};
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
