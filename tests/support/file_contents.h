#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace larkspan {

/// The bytes of a file, or the empty text when it cannot be read.
inline std::string FileContents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace larkspan
