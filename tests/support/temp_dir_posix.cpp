#include "support/temp_dir.h"

#include <stdexcept>
#include <stdlib.h>

namespace larkspan::test {

const char kPathSeparator = '/';

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "larkspan-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code error;
    // Folders a test left without permissions must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(m_path, error);
}

} // namespace larkspan::test
