#pragma once

#include "status.h"

#include <string>
#include <string_view>

namespace larkspan {

/// Everything the windows and dialogs do to files, behind one interface so their logic can be
/// tested with a recording fake. Paths are written the Windows way (AppDir + "\MySQL\my.ini")
/// or, for INI access, as a bare name resolved against AppDir.
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
    /// Sets one key; fails with the path and the reason.
    virtual Status IniWrite(
        std::string_view section, std::string_view key, std::string_view value, std::string_view file)
        = 0;
    /// Rewrites the directive's lines of an absolute file; fails with the path and the reason.
    virtual Status RewriteDirective(std::string_view file, std::string_view directive, std::string_view value)
        = 0;
    /// Reads a whole file; fails with the path and the reason (a missing file included).
    virtual Status ReadFile(std::string_view file, std::string& content) = 0;
    /// Replaces a whole text file atomically; fails with the path and the reason.
    virtual Status WriteTextFile(std::string_view file, std::string_view text) = 0;
    /// Whether `path` names an existing file-system entry of any kind / an existing directory.
    virtual bool Exists(std::string_view path) = 0;
    virtual bool IsDirectory(std::string_view path) = 0;
};

/// The real files on disk.
class DiskConfigFiles final : public ConfigFiles
{
public:
    explicit DiskConfigFiles(std::string appDir);

    const std::string& AppDir() const override { return m_appDir; }
    std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
        std::string_view file) override;
    Status IniReadable(std::string_view file) override;
    Status IniWrite(std::string_view section, std::string_view key, std::string_view value,
        std::string_view file) override;
    Status RewriteDirective(
        std::string_view file, std::string_view directive, std::string_view value) override;
    Status ReadFile(std::string_view file, std::string& content) override;
    Status WriteTextFile(std::string_view file, std::string_view text) override;
    bool Exists(std::string_view path) override;
    bool IsDirectory(std::string_view path) override;

private:
    std::string m_appDir;
};

} // namespace larkspan
