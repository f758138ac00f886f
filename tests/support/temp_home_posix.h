#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace larkspan {

/// Points HOME and XDG_CONFIG_HOME at a fresh temporary home for the object's lifetime, so tests
/// of desktop shortcuts never touch the user's real desktop.
class TempHome final
{
public:
    explicit TempHome(const std::string& tag)
        : m_root(std::filesystem::temp_directory_path() / (tag + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(Config());
        Set("HOME", home().string());
        Set("XDG_CONFIG_HOME", Config().string());
    }
    ~TempHome()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    std::filesystem::path home() const { return m_root / "home"; }

private:
    std::filesystem::path Config() const { return home() / ".config"; }
    void Set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    std::filesystem::path m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace larkspan
