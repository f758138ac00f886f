#pragma once

#include "config/native_path.h"
#include "config/status.h"

#include <string>
#include <string_view>

namespace larkspan {

/// Everything the windows and dialogs do to files, behind one interface so their logic can be
/// tested with a fake. Paths are written the Windows way (AppDir + "\MySQL\my.ini"); IniRead also
/// takes a bare name, resolved against AppDir.
class ConfigFiles
{
public:
    virtual ~ConfigFiles() = default;

    /// The directory of the running program, without a trailing separator.
    virtual const std::string& AppDir() const = 0;

    /// The key's value, or `defaultValue` when the file, section or key is missing or the file
    /// cannot be read (IniReadable tells why).
    virtual std::string IniRead(
        std::string_view section, std::string_view key, std::string_view defaultValue, std::string_view file)
        = 0;
    /// Ok when IniRead can read `file` or the file is missing; otherwise the path and the reason
    /// why every read of it gives the default.
    virtual Status IniReadable(std::string_view file) = 0;
    /// Reads a whole file as bytes; fails with the path and the reason, `missing` telling whether
    /// the reason is that no file exists.
    virtual Status ReadFile(std::string_view file, std::string& content, bool& missing) = 0;
    /// Replaces a file atomically with exactly `bytes`, creating it when missing; fails with the
    /// path and the reason and then leaves the file as it was.
    virtual Status ReplaceFile(std::string_view file, std::string_view bytes) = 0;
    /// Removes a file; fails with the path and the reason.
    virtual Status RemoveFile(std::string_view file) = 0;
    /// Replaces a whole text file atomically, ending its last line; fails with the path and the
    /// reason.
    virtual Status WriteTextFile(std::string_view file, std::string_view text) = 0;
    /// See CheckServerDirectory in native_path.h.
    virtual ServerDirectory CheckServerDirectory(std::string_view path, std::string_view serverRoot) = 0;
};

} // namespace larkspan
