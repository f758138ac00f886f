#include "config/disk_config_files.h"

#include "config/ini.h"
#include "config/text_file.h"

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

Status DiskConfigFiles::ReadFile(std::string_view file, std::string& content, bool& missing)
{
    return ReadWholeFile(NativePath(file), content, missing);
}

Status DiskConfigFiles::ReplaceFile(std::string_view file, std::string_view bytes)
{
    return WriteFileAtomically(NativePath(file), bytes);
}

Status DiskConfigFiles::RemoveFile(std::string_view file)
{
    return RemoveWholeFile(NativePath(file));
}

Status DiskConfigFiles::WriteTextFile(std::string_view file, std::string_view text)
{
    return larkspan::WriteTextFile(NativePath(file), text);
}

ServerDirectory DiskConfigFiles::CheckServerDirectory(std::string_view path, std::string_view serverRoot)
{
    return larkspan::CheckServerDirectory(path, serverRoot);
}

} // namespace larkspan
