#pragma once

#include <string>
#include <sys/stat.h>

namespace larkspan::test {

/// The permission bits of `path` (a symlink followed).
inline unsigned PermissionBits(const std::string& path)
{
    struct stat status
    {
    };
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

} // namespace larkspan::test
