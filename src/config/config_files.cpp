#include "config_files.h"

#include "directive.h"
#include "ini.h"
#include "native_path.h"
#include "text_file.h"

#include <filesystem>

namespace larkspan {

DiskConfigFiles::DiskConfigFiles(std::string appDir)
    : m_appDir(std::move(appDir))
{ }

std::string DiskConfigFiles::IniRead(
    std::string_view section, std::string_view key, std::string_view defaultValue, std::string_view file)
{
    return larkspan::IniRead(section, key, defaultValue, file, m_appDir);
}

Status DiskConfigFiles::IniReadable(std::string_view file)
{
    return larkspan::IniReadable(file, m_appDir);
}

Status DiskConfigFiles::IniWrite(
    std::string_view section, std::string_view key, std::string_view value, std::string_view file)
{
    return larkspan::IniWrite(section, key, value, file, m_appDir);
}

Status DiskConfigFiles::RewriteDirective(
    std::string_view file, std::string_view directive, std::string_view value)
{
    return larkspan::RewriteDirective(file, directive, value);
}

Status DiskConfigFiles::ReadFile(std::string_view file, std::string& content)
{
    return ReadWholeFile(NativePath(file), content);
}

Status DiskConfigFiles::WriteTextFile(std::string_view file, std::string_view text)
{
    return larkspan::WriteTextFile(NativePath(file), text);
}

bool DiskConfigFiles::Exists(std::string_view path)
{
    std::error_code error;
    return std::filesystem::exists(NativePath(path), error);
}

bool DiskConfigFiles::IsDirectory(std::string_view path)
{
    std::error_code error;
    return std::filesystem::is_directory(NativePath(path), error);
}

} // namespace larkspan
