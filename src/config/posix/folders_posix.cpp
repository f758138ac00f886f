#include "config/folders.h"
#include "config/posix/file_calls_posix.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspan {

namespace {

// Removes what `name` in the open folder `parent` names, descending into folders; returns 0
// or the first error.
int RemoveAt(int parent, const char* name)
{
    struct stat status
    {
    };
    if (::fstatat(parent, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (!S_ISDIR(status.st_mode))
        return ::unlinkat(parent, name, 0) == 0 || errno == ENOENT ? 0 : errno;
    const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return errno;
    DIR* listing = ::fdopendir(folder);
    if (listing == nullptr) {
        const int error = errno;
        ::close(folder);
        return error;
    }
    int error = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        if (const int failed = RemoveAt(folder, entry->d_name); failed != 0 && error == 0)
            error = failed;
    }
    ::closedir(listing);
    if (error == 0 && ::unlinkat(parent, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        error = errno;
    return error;
}

} // namespace

std::string TemporaryFolderRoot()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] == '/' ? folder : "/tmp";
}

Status MakePrivateFolder(std::string_view parent, std::string_view prefix, std::string& made)
{
    std::string name = std::string(parent) + "/" + std::string(prefix) + "XXXXXX";
    if (::mkdtemp(name.data()) == nullptr)
        return Failure(name, errno);
    made = std::move(name);
    return Status::Success();
}

Status MakeFolders(std::string_view path)
{
    const std::string full(path);
    for (std::size_t slash = full.find('/', 1);; slash = full.find('/', slash + 1)) {
        const std::string prefix = full.substr(0, slash);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return Failure(prefix, errno);
        if (slash == std::string::npos)
            break;
    }
    struct stat status
    {
    };
    if (::stat(full.c_str(), &status) != 0)
        return Failure(path, errno);
    if (!S_ISDIR(status.st_mode))
        return Failure(path, ENOTDIR);
    return Status::Success();
}

Status WriteNewFile(std::string_view path, std::string_view bytes, unsigned mode, bool sync)
{
    const std::string name(path);
    const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return Failure(path, errno);
    int error = ::fchmod(descriptor, static_cast<mode_t>(mode & 07777)) != 0 ? errno : 0;
    if (error == 0)
        error = WriteAll(descriptor, bytes);
    if (error == 0 && sync && ::fsync(descriptor) != 0)
        error = errno;
    if (::close(descriptor) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(name.c_str());
        return Failure(path, error);
    }
    return Status::Success();
}

Status SyncFolder(std::string_view path)
{
    const std::string name(path);
    const int folder = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return Failure(path, errno);
    const int error = ::fsync(folder) != 0 ? errno : 0;
    ::close(folder);
    return error == 0 ? Status::Success() : Failure(path, error);
}

Status RenameFolder(std::string_view from, std::string_view to)
{
    const std::string source(from);
    const std::string target(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0)
        return Failure(errno == EEXIST ? to : from, errno);
    return Status::Success();
}

Status RemoveTree(std::string_view path)
{
    const std::string name(path);
    if (const int error = RemoveAt(AT_FDCWD, name.c_str()); error != 0)
        return Failure(path, error);
    return Status::Success();
}

namespace {

// The names of the entries of folder `path` (without "." and "..") that `keep(folder, name)` accepts;
// `folder` is the listing's descriptor, for fstatat.
template <typename Keep> Status ListEntries(std::string_view path, std::vector<std::string>& names, Keep keep)
{
    const std::string name(path);
    DIR* listing = ::opendir(name.c_str());
    if (listing == nullptr)
        return Failure(path, errno);
    names.clear();
    const int folder = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != ".." && keep(folder, entry->d_name))
            names.emplace_back(entryName);
    }
    ::closedir(listing);
    return Status::Success();
}

// Whether `name` of `folder` is of the kind `mode` says; `follow`: through a link.
bool IsKind(int folder, const char* name, mode_t kind, bool follow)
{
    struct stat status
    {
    };
    return ::fstatat(folder, name, &status, follow ? 0 : AT_SYMLINK_NOFOLLOW) == 0
        && (status.st_mode & S_IFMT) == kind;
}

} // namespace

Status ListFolders(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(
        path, names, [](int folder, const char* name) { return IsKind(folder, name, S_IFDIR, false); });
}

Status ListFolderEntries(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(path, names, [](int, const char*) { return true; });
}

Status RemoveOwnFolder(std::string_view path, const std::function<bool(std::string_view name)>& ours)
{
    const std::string name(path);
    const int folder = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        if (errno == ENOENT)
            return Status::Success();
        return errno == ELOOP ? Status::Failure(name + ": " + std::string(catalogue::kIsLink))
                              : Failure(path, errno);
    }
    DIR* listing = ::fdopendir(folder);
    if (listing == nullptr) {
        const int error = errno;
        ::close(folder);
        return Failure(path, error);
    }
    // Named first and removed after, so that the listing never sees its own removals.
    std::vector<std::string> doomed;
    while (const dirent* entry = ::readdir(listing)) {
        struct stat status
        {
        };
        if (ours(entry->d_name) && ::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && !S_ISDIR(status.st_mode))
            doomed.emplace_back(entry->d_name);
    }
    int error = 0;
    for (const std::string& entry : doomed) {
        if (::unlinkat(folder, entry.c_str(), 0) != 0 && errno != ENOENT && error == 0)
            error = errno;
    }
    ::closedir(listing);
    if (error == 0 && ::rmdir(name.c_str()) != 0 && errno != ENOENT)
        error = errno;
    return error == 0 ? Status::Success() : Failure(path, error);
}

Status ReadFileInFolder(
    std::string_view folder, std::string_view name, std::size_t limit, std::string& content)
{
    const std::string folderName(folder);
    const std::string path = folderName + "/" + std::string(name);
    const auto refused = [](const std::string& what, std::string_view reason) {
        return Status::Failure(what + ": " + std::string(reason));
    };
    const int directory = ::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0)
        return errno == ELOOP ? refused(folderName, catalogue::kIsLink) : Failure(folder, errno);
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    const int descriptor = ::openat(
        directory, std::string(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const int openError = errno;
    ::close(directory);
    if (descriptor < 0)
        return openError == ELOOP ? refused(path, catalogue::kIsLink) : Failure(path, openError);
    struct stat status
    {
    };
    std::optional<Status> failure;
    if (::fstat(descriptor, &status) != 0)
        failure = Failure(path, errno);
    else if (S_ISDIR(status.st_mode))
        failure = Failure(path, EISDIR);
    else if (!S_ISREG(status.st_mode))
        failure = refused(path, catalogue::kNotRegularFile);
    else if (static_cast<std::size_t>(status.st_size) > limit)
        failure = refused(path, catalogue::LargerThan(limit));
    std::string bytes;
    if (!failure)
        failure = ReadUpTo(descriptor, path, limit, refused(path, catalogue::LargerThan(limit)), bytes);
    ::close(descriptor);
    if (failure)
        return *failure;
    content = std::move(bytes);
    return Status::Success();
}

bool IsLink(std::string_view path)
{
    struct stat status
    {
    };
    return ::lstat(std::string(path).c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

Status ListFiles(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(
        path, names, [](int folder, const char* name) { return IsKind(folder, name, S_IFREG, true); });
}

bool SameFile(std::string_view first, std::string_view second)
{
    struct stat a
    {
    };
    struct stat b
    {
    };
    return ::stat(std::string(first).c_str(), &a) == 0 && ::stat(std::string(second).c_str(), &b) == 0
        && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::optional<unsigned> PermissionBits(std::string_view path)
{
    struct stat status
    {
    };
    if (::stat(std::string(path).c_str(), &status) != 0)
        return std::nullopt;
    return static_cast<unsigned>(status.st_mode & 07777);
}

} // namespace larkspan
