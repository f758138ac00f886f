#include "config/ini.h"

#include "config/ini_engine.h"
#include "config/native_path.h"
#include "config/text_file.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

namespace larkspan {

std::string ResolveIniPath(std::string_view file, std::string_view appDir)
{
    if ((file.size() >= 3 && file.substr(1, 2) == ":\\") || file.starts_with('/'))
        return std::string(file);
    const std::string joined = std::string(appDir) + "\\" + std::string(file);
    std::string resolved;
    resolved.reserve(joined.size());
    for (std::size_t i = 0; i < joined.size(); ++i) {
        resolved += joined[i];
        if (joined[i] == '\\' && i + 1 < joined.size() && joined[i + 1] == '\\')
            ++i;
    }
    return resolved;
}

std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string_view file, std::string_view appDir)
{
    std::string content;
    if (!ReadWholeFile(NativePath(ResolveIniPath(file, appDir)), content).ok())
        return std::string(defaultValue);
    std::optional<std::string> value = IniLookup(content, section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

Status IniReadable(std::string_view file, std::string_view appDir)
{
    const std::string path = NativePath(ResolveIniPath(file, appDir));
    std::string content;
    bool missing = false;
    if (Status read = ReadWholeFile(path, content, missing); !read.ok())
        return missing ? Status::Success() : read;
    // Binary garbage reads as no keys at all; it is no settings file.
    if (HoldsBinaryBytes(content))
        return Status::Failure(path + ": " + std::string(catalogue::kNotText));
    return Status::Success();
}

Status IniWrite(std::string_view section, std::string_view key, std::string_view value, std::string_view file,
    std::string_view appDir)
{
    const std::string path = NativePath(ResolveIniPath(file, appDir));
    if (const std::optional<std::string> problem = IniWriteProblem(section, key, value))
        return Status::Failure(path + ": " + *problem);

    std::string content;
    bool missing = false;
    if (Status read = ReadWholeFile(path, content, missing); !read.ok() && !missing)
        return read;
    std::string updated = IniUpdate(content, section, key, value);
    if (!missing && updated == content)
        return Status::Success();
    return WriteFileAtomically(path, updated);
}

} // namespace larkspan
