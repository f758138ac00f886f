#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// Maps a path written the Windows way (AppDir + "\PHP5\php.ini") to the native file system:
/// backslashes become slashes, and a component that does not exist under its exact name is
/// matched case-insensitively against its directory's entries ("\mysql\bin" finds "MySQL/bin").
/// Never fails: components that match nothing are kept as written. On Windows the path is used as
/// given: the file system itself ignores letter case.
std::string NativePath(std::string_view path);

/// How a server sees a directory path given in its configuration.
enum class ServerDirectory { Exists, Missing, ForeignSeparator };

/// Whether `path` names an existing directory exactly as a server whose ServerRoot is
/// `serverRoot` (a Windows-style path of the bundle) reads it: a relative path against the
/// ServerRoot, with no letter-case or separator mapping. ForeignSeparator: `path` holds a
/// backslash, which POSIX servers read as part of a name while the panel's other commands would
/// take it for a separator (on Windows both are separators, for the server too).
ServerDirectory CheckServerDirectory(std::string_view path, std::string_view serverRoot);

} // namespace larkspan
