// Reads of the servers' growing log files: only what was appended, never the whole file, and never
// a blocking open of a FIFO someone put in a log's place.
#include "config/file_tail.h"
#include "config/posix/file_calls_posix.h"
#include "texts/catalogue.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace larkspan {

std::optional<std::uint64_t> RegularFileSize(std::string_view path)
{
    struct stat status
    {
    };
    if (::stat(std::string(path).c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

Status ReadFileTail(
    std::string_view path, std::uint64_t offset, std::size_t limit, FileTail& tail, bool& missing)
{
    missing = false;
    // A device is not even opened (opening some has effects); O_NONBLOCK covers a FIFO put in the
    // file's place between the two looks, whose open would otherwise wait for a writer.
    struct stat before
    {
    };
    if (::stat(std::string(path).c_str(), &before) != 0) {
        missing = errno == ENOENT;
        return Failure(path, errno);
    }
    if (auto refusal = RefuseUnlessRegular(path, before.st_mode))
        return std::move(*refusal);
    const int descriptor = ::open(std::string(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        missing = errno == ENOENT;
        return Failure(path, errno);
    }
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        return Failure(path, error);
    }
    if (auto refusal = RefuseUnlessRegular(path, status.st_mode)) {
        ::close(descriptor);
        return std::move(*refusal);
    }

    const auto size = static_cast<std::uint64_t>(status.st_size);
    const TailSpan span = TailSpanOf(offset, size, limit);
    std::string bytes(span.length, '\0');
    std::size_t got = 0;
    int error = 0;
    while (got < span.length) {
        const ssize_t count = ::pread(
            descriptor, bytes.data() + got, span.length - got, static_cast<off_t>(span.start + got));
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    ::close(descriptor);
    if (error != 0)
        return Failure(path, error);
    bytes.resize(got);
    tail = {std::move(bytes), size, span.skipped};
    return Status::Success();
}

} // namespace larkspan
