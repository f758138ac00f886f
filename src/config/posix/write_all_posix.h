#pragma once

#include <cerrno>
#include <string_view>
#include <unistd.h>

namespace larkspan {

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

} // namespace larkspan
