#pragma once

#include "config/status.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>

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

/// A failure that names `path` and then the system's reason: exactly `posixReason` on POSIX; on
/// Windows the reason is the system's text in the user's language, so only its presence counts.
::testing::AssertionResult FailsWithReason(
    const Status& status, const std::string& path, std::string_view posixReason);

/// A device every system has (/dev/null, NUL): a path that is no regular file.
extern const std::string_view kDeviceFile;

/// Entries of `directory`, for checking that no temporary file was left behind.
inline std::size_t EntryCount(const std::string& directory)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
        ++count;
    return count;
}

} // namespace larkspan::test
