#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// Maps a path written the Windows way (AppDir + "\PHP5\php.ini") to the native file system:
/// backslashes become slashes, and a component that does not exist under its exact name is
/// matched case-insensitively against its directory's entries ("\mysql\bin" finds "MySQL/bin").
/// Never fails: components that match nothing are kept as written.
std::string NativePath(std::string_view path);

} // namespace larkspan
