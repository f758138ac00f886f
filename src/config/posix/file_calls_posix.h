#pragma once

#include "config/status.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspan {

/// The path and the OS reason for `error` (an errno value).
inline Status Failure(std::string_view path, int error)
{
    return Status::Failure(std::string(path) + ": " + std::system_category().message(error));
}

/// Only regular files are read or replaced: a directory is refused by its own reason, anything else
/// (a FIFO would hang the reader, a device would never end) with ours.
inline std::optional<Status> RefuseUnlessRegular(std::string_view path, mode_t mode)
{
    if (S_ISDIR(mode))
        return Failure(path, EISDIR);
    if (!S_ISREG(mode))
        return Status::Failure(std::string(path) + ": " + std::string(catalogue::kNotRegularFile));
    return std::nullopt;
}

/// Writes all of `bytes` to `descriptor`, resuming after short writes and signals; returns 0 or
/// the errno of the failure.
inline int WriteAll(int descriptor, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

/// Appends what `descriptor` holds from where it stands to its end to `bytes`, resuming after
/// signals; a file that grows past `limit` while it is read is refused with `tooLarge`, a read
/// error named with `path`.
inline std::optional<Status> ReadUpTo(
    int descriptor, std::string_view path, std::size_t limit, const Status& tooLarge, std::string& bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count == 0)
            return std::nullopt;
        if (count < 0) {
            if (errno != EINTR)
                return Failure(path, errno);
            continue;
        }
        if (bytes.size() + static_cast<std::size_t>(count) > limit)
            return tooLarge;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

} // namespace larkspan
