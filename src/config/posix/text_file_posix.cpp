// Reading and atomic replacing of files with the POSIX API (fsync, permission bits, symlinks
// need more than the standard library offers).
#include "config/file_layer_rules.h"
#include "config/posix/file_calls_posix.h"
#include "config/text_file.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspan {

namespace {

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

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryName(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return directory + TemporaryNameFor(BaseNameOf(target), static_cast<unsigned long>(::getpid()));
}

// A writer killed before its rename leaves its temporary file behind, as large as what it was
// writing. The next write of the same file removes such leftovers, and nothing else: our exact
// name for this target, a regular file of ours, and no writer holding its lock (every writer
// holds it until its rename). Best effort: whatever cannot be checked stays.
void RemoveLeftoverTemporaries(const std::string& target)
{
    DIR* listing = ::opendir(DirectoryOf(target).c_str());
    if (listing == nullptr)
        return;
    const int directory = ::dirfd(listing);
    const std::string name = BaseNameOf(target);
    const auto sameFile = [](const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    };
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsTemporaryNameOf(entry->d_name, name))
            continue;
        struct stat named
        {
        };
        if (::fstatat(directory, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode)
            || named.st_uid != ::geteuid())
            continue;
        constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = ::openat(directory, entry->d_name, O_RDONLY | kFlags);
        if (fd < 0 && errno == EACCES)
            fd = ::openat(directory, entry->d_name, O_WRONLY | kFlags);
        if (fd < 0)
            continue;
        struct stat opened
        {
        };
        if (::fstat(fd, &opened) == 0 && sameFile(opened, named) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(directory, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0
            && sameFile(opened, named))
            ::unlinkat(directory, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(listing);
}

// Creates the temporary file for `target` and locks it for the whole write. Returns the
// descriptor, or -1 with errno set.
int CreateLockedTemporary(const std::string& target, std::string& temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName(target);
        // 0666 so that a new file gets the permissions the umask allows, as a plain create would.
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno != EEXIST)
                return -1;
            continue;
        }
        // Another write's clean-up may have taken the file in the instant before the lock: it
        // then holds the lock or has already unlinked the file. A file system without locks
        // cleans nothing up, so the write goes on unlocked there.
        struct stat created
        {
        };
        const bool taken = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0
            ? errno == EWOULDBLOCK
            : ::fstat(descriptor, &created) != 0 || created.st_nlink == 0;
        if (!taken)
            return descriptor;
        ::close(descriptor);
    }
    errno = EEXIST;
    return -1;
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
    if (auto refused = RefuseUnlessRegular(path, status.st_mode))
        return *refused;
    if (static_cast<std::uintmax_t>(status.st_size) > kReadLimitBytes)
        return Status::Failure(name + ": " + std::string(catalogue::kTooLarge));

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
        failure = RefuseUnlessRegular(path, status.st_mode);
    std::string bytes;
    if (!failure && status.st_size > 0)
        bytes.reserve(std::min(static_cast<std::size_t>(status.st_size), kReadLimitBytes));
    // A file that grows while it is read is bounded all the same.
    if (!failure)
        failure = ReadUpTo(descriptor, path, kReadLimitBytes,
            Status::Failure(name + ": " + std::string(catalogue::kTooLarge)), bytes);
    ::close(descriptor);
    if (failure)
        return *failure;
    content = std::move(bytes);
    return Status::Success();
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
        if (auto refused = RefuseUnlessRegular(path, original.st_mode))
            return *refused;
        // A file without write permission is refused even where the directory would allow the
        // rename (and even for root): replacing it would defeat its owner's intent.
        if ((original.st_mode & 0222) == 0)
            return Failure(path, EACCES);
        if (::access(target.c_str(), W_OK) != 0)
            return Failure(path, errno);
    }

    RemoveLeftoverTemporaries(target);
    std::string temporary;
    const int descriptor = CreateLockedTemporary(target, temporary);
    if (descriptor < 0)
        return Failure(path, errno);
    // Holds the lock past the close that reports write-back errors, until the rename is done.
    const int lockHolder = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);

    int error = lockHolder < 0 ? errno : 0;
    if (error == 0 && exists && ::fchmod(descriptor, original.st_mode & 07777) != 0)
        error = errno;
    if (error == 0)
        error = WriteAll(descriptor, content);
    if (error == 0 && ::fsync(descriptor) != 0)
        error = errno;
    if (error == 0 && exists && (original.st_uid != ::geteuid() || original.st_gid != ::getegid())) {
        // Best effort: only root may give the file back to another owner. Done last, so that the
        // leftover of a killed write stays ours to clean up; the mode again, as chown drops the
        // set-id bits.
        if (::fchown(descriptor, original.st_uid, original.st_gid) == 0
            && (::fchmod(descriptor, original.st_mode & 07777) != 0 || ::fsync(descriptor) != 0))
            error = errno;
    }
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temporary.c_str());
    if (lockHolder >= 0)
        ::close(lockHolder);
    if (error != 0)
        return Failure(path, error);

    // Makes the rename itself durable. The new content is already in place, so a failure here
    // is not reported as a failed write.
    const int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return Status::Success();
}

Status RemoveWholeFile(std::string_view path)
{
    if (::unlink(std::string(path).c_str()) != 0)
        return Failure(path, errno);
    return Status::Success();
}

} // namespace larkspan
