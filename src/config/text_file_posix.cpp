// Reading and atomic replacing of files with the POSIX API (fsync, permission bits, symlinks
// need more than the standard library offers).
#include "text_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspan {

namespace {

// Far above any configuration file; a larger file is refused instead of filling memory and
// freezing the window that asked for it.
constexpr std::size_t kReadLimitBytes = 8u << 20;

constexpr const char* kNotRegularFile = "不是普通文件（是 FIFO、设备或套接字）";
constexpr const char* kTooLarge = "文件超过 8 MB，太大，没有读取";

Status Failure(std::string_view path, int error)
{
    return Status::Failure(std::string(path) + ": " + std::system_category().message(error));
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write to `path` must replace: the end of its chain of symlinks (which may not
// exist yet), so that the link itself survives the rename.
int FollowSymlinks(const std::string& path, std::string& target)
{
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status
        {
        };
        if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return 0;
        std::string link(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) >= link.size())
            return ENAMETOOLONG;
        link.resize(static_cast<std::size_t>(length));
        target = link.front() == '/' ? link : DirectoryOf(target) + "/" + link;
    }
    return ELOOP;
}

// Only regular files are read or replaced: a directory by its own reason, anything else (a FIFO
// would hang the reader, a device would never end) with ours.
std::optional<Status> RefuseUnlessRegular(std::string_view path, const struct stat& status)
{
    if (S_ISDIR(status.st_mode))
        return Failure(path, EISDIR);
    if (!S_ISREG(status.st_mode))
        return Status::Failure(std::string(path) + ": " + kNotRegularFile);
    return std::nullopt;
}

int WriteAll(int descriptor, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(descriptor, content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// A name for the temporary file beside `target`, hidden and unlikely to collide.
std::string TemporaryName(const std::string& target)
{
    static std::atomic<unsigned> counter {0};
    const auto now
        = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + name + ".tmp" + std::to_string(::getpid()) + "-"
        + std::to_string((now ^ (now >> 17)) % 1000000007ULL) + "-" + std::to_string(counter++);
}

} // namespace

Status ReadWholeFile(std::string_view path, std::string& content, bool& missing)
{
    missing = false;
    const std::string name(path);
    // Checked before opening: opening a FIFO waits for a writer, and opening a device can have
    // effects of its own.
    struct stat status
    {
    };
    if (::stat(name.c_str(), &status) != 0) {
        missing = errno == ENOENT;
        return Failure(path, errno);
    }
    if (auto refused = RefuseUnlessRegular(path, status))
        return *refused;
    if (static_cast<std::uintmax_t>(status.st_size) > kReadLimitBytes)
        return Status::Failure(name + ": " + kTooLarge);

    // The name may have been swapped for a FIFO since the check: O_NONBLOCK keeps the open from
    // waiting, and the descriptor is checked again.
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        missing = errno == ENOENT;
        return Failure(path, errno);
    }
    std::optional<Status> failure;
    if (::fstat(descriptor, &status) != 0)
        failure = Failure(path, errno);
    else
        failure = RefuseUnlessRegular(path, status);
    std::string bytes;
    if (!failure && status.st_size > 0)
        bytes.reserve(std::min(static_cast<std::size_t>(status.st_size), kReadLimitBytes));
    char buffer[65536];
    while (!failure) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno != EINTR)
                failure = Failure(path, errno);
            continue;
        }
        // A file that grows while it is read is bounded all the same.
        if (bytes.size() + static_cast<std::size_t>(count) > kReadLimitBytes)
            failure = Status::Failure(name + ": " + kTooLarge);
        else
            bytes.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(descriptor);
    if (failure)
        return *failure;
    content = std::move(bytes);
    return Status::Ok();
}

Status ReadWholeFile(std::string_view path, std::string& content)
{
    bool missing = false;
    return ReadWholeFile(path, content, missing);
}

Status WriteFileAtomically(std::string_view path, std::string_view content)
{
    std::string target;
    if (const int error = FollowSymlinks(std::string(path), target); error != 0)
        return Failure(path, error);

    struct stat original
    {
    };
    const bool exists = ::stat(target.c_str(), &original) == 0;
    if (!exists && errno != ENOENT)
        return Failure(path, errno);
    if (exists) {
        if (auto refused = RefuseUnlessRegular(path, original))
            return *refused;
        // A file without write permission is refused even where the directory would allow the
        // rename (and even for root): replacing it would defeat its owner's intent.
        if ((original.st_mode & 0222) == 0)
            return Failure(path, EACCES);
        if (::access(target.c_str(), W_OK) != 0)
            return Failure(path, errno);
    }

    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
        temporary = TemporaryName(target);
        // 0666 so that a new file gets the permissions the umask allows, as a plain create would.
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            return Failure(path, errno);
    }
    if (descriptor < 0)
        return Failure(path, EEXIST);

    int error = 0;
    if (exists) {
        if (original.st_uid != ::geteuid() || original.st_gid != ::getegid()) {
            // Best effort: only root may give the file back to another owner.
            [[maybe_unused]] const int ignored = ::fchown(descriptor, original.st_uid, original.st_gid);
        }
        if (::fchmod(descriptor, original.st_mode & 07777) != 0)
            error = errno;
    }
    if (error == 0)
        error = WriteAll(descriptor, content);
    if (error == 0 && ::fsync(descriptor) != 0)
        error = errno;
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return Failure(path, error);
    }

    // Makes the rename itself durable. The new content is already in place, so a failure here
    // is not reported as a failed write.
    const int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return Status::Ok();
}

} // namespace larkspan
