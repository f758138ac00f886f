#pragma once

#include "config/status.h"

#include <string>
#include <string_view>

namespace larkspan {

/// The path rule of the settings functions: a name whose second and third characters are ":\"
/// (or, on POSIX, one that begins with "/") is absolute; anything else is appDir + "\" + name
/// with every pair of backslashes collapsed to one. Returns the Windows-style text; NativePath
/// maps it to a file.
std::string ResolveIniPath(std::string_view file, std::string_view appDir);

/// The value of `key` in `section` of `file`, or `defaultValue` when the file, section or key is
/// missing, or when the file cannot be read (IniReadable tells why). Never fails.
std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string_view file, std::string_view appDir);

/// Whether IniRead can read `file`: Ok when it can or when the file is missing (every read then
/// gives its default); otherwise the path and the reason (a directory, FIFO or device, a file too
/// large, no permission, bytes no text file holds).
Status IniReadable(std::string_view file, std::string_view appDir);

/// Gives `key` in `section` of `file` the value `value`, creating the key, the section and the
/// file as needed; every other byte of the file stays. Fails with the path and the OS reason.
Status IniWrite(std::string_view section, std::string_view key, std::string_view value, std::string_view file,
    std::string_view appDir);

} // namespace larkspan
