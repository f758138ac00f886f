#include "platform/app_dir.h"

#include <filesystem>
#include <system_error>

namespace larkspan {

std::string ExecutableDirectory()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || executable.empty())
        return {};
    const std::filesystem::path directory = executable.parent_path();
    return directory.empty() ? std::string("/") : directory.string();
}

} // namespace larkspan
