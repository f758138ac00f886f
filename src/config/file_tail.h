#pragma once

#include "config/status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The size of the regular file at `path`; nullopt when it is missing, unreadable or anything but
/// a regular file. Opens nothing, so a FIFO or a device costs no more than a file.
std::optional<std::uint64_t> RegularFileSize(std::string_view path);

/// What a growing file holds beyond an offset.
struct FileTail
{
    std::string bytes;
    /// The file's size when it was read: the offset of the next read.
    std::uint64_t end = 0;
    /// How many bytes beyond the offset were left unread before `bytes`: more was there than the
    /// limit allowed.
    std::uint64_t skipped = 0;
};

/// Where a read of at most `limit` bytes from `offset` falls in a file of `size` bytes: to the end
/// of the file, what comes first beyond the offset skipped when there is more than the limit; from
/// the start when the file is now shorter than `offset`. The rule of every platform's ReadFileTail.
struct TailSpan
{
    std::uint64_t start = 0;
    std::size_t length = 0;
    std::uint64_t skipped = 0;
};
inline TailSpan TailSpanOf(std::uint64_t offset, std::uint64_t size, std::size_t limit)
{
    const std::uint64_t from = offset <= size ? offset : 0;
    const std::uint64_t available = size - from;
    const std::uint64_t skipped = available > limit ? available - limit : 0;
    return {from + skipped, static_cast<std::size_t>(available - skipped), skipped};
}

/// Reads what the regular file `path` holds beyond `offset`, its last `limit` bytes when there is
/// more; a file now shorter than `offset` (truncated or replaced) is read from its start. Fails with the path
/// and the reason for a missing file (`missing` set) and for anything but a regular file, which it never
/// blocks on.
Status ReadFileTail(
    std::string_view path, std::uint64_t offset, std::size_t limit, FileTail& tail, bool& missing);

} // namespace larkspan
