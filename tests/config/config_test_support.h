#pragma once

#include "file_contents.h"
#include "run_in_child.h"
#include "temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace larkspan::test {

inline void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

inline std::string DataFile(std::string_view name)
{
    return std::string(LARKSPAN_TEST_DATA) + "/config/" + std::string(name);
}

inline unsigned PermissionBits(const std::string& path)
{
    struct stat status
    {
    };
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

/// Entries of `directory`, for checking that no temporary file was left behind.
inline std::size_t EntryCount(const std::string& directory)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

} // namespace larkspan::test
