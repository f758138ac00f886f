#include "support/temp_dir.h"

#include <random>
#include <stdexcept>

namespace larkspan::test {

const char kPathSeparator = '\\';

TempDir::TempDir()
{
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
}

TempDir::~TempDir()
{
    std::error_code error;
    // Read-only entries left by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        std::filesystem::permissions(
            it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_path, error);
}

} // namespace larkspan::test
