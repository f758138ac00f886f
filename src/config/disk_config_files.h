#pragma once

#include "config/config_files.h"

#include <string>

namespace larkspan {

/// The real files on disk.
class DiskConfigFiles final : public ConfigFiles
{
public:
    explicit DiskConfigFiles(std::string appDir);

    const std::string& AppDir() const override { return m_appDir; }
    std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
        std::string_view file) override;
    Status IniReadable(std::string_view file) override;
    Status ReadFile(std::string_view file, std::string& content, bool& missing) override;
    Status ReplaceFile(std::string_view file, std::string_view bytes) override;
    Status RemoveFile(std::string_view file) override;
    Status WriteTextFile(std::string_view file, std::string_view text) override;
    ServerDirectory CheckServerDirectory(std::string_view path, std::string_view serverRoot) override;

private:
    std::string m_appDir;
};

} // namespace larkspan
