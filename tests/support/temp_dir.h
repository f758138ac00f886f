#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace larkspan::test {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

/// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir final
{
public:
    TempDir()
    {
#ifdef _WIN32
        // No mkdtemp: a random name that create_directory will not reuse does the same.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::filesystem::path candidate
                = std::filesystem::temp_directory_path() / ("larkspan-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                m_path = candidate.string();
        }
        if (m_path.empty())
            throw std::runtime_error("cannot make a temporary directory");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "larkspan-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
#endif
    }
    ~TempDir()
    {
        std::error_code error;
        // Read-only entries left by a test must not stop the clean-up.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
#ifdef _WIN32
            std::error_code ignored;
            std::filesystem::permissions(
                it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ignored);
#else
            if (it->is_directory(error) && !it->is_symlink(error))
                ::chmod(it->path().c_str(), 0700);
#endif
        }
        std::filesystem::remove_all(m_path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const
    {
        return m_path;
    }
    std::string operator/(std::string_view name) const
    {
        return m_path + kPathSeparator + std::string(name);
    }

private:
    std::string m_path;
};

} // namespace larkspan::test
