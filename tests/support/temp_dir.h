#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace larkspan::test {

/// What separates the components of a native path ('/', or '\' on Windows).
extern const char kPathSeparator;

/// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir final
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + kPathSeparator + std::string(name); }

private:
    std::string m_path;
};

} // namespace larkspan::test
