#pragma once

#include "config_files.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace larkspan {

/// In-memory files that record every write in order. INI names are matched case-insensitively
/// as the real engine does; `failOn` makes writes to a chosen file fail.
class FakeConfigFiles final : public ConfigFiles
{
public:
    struct Call
    {
        std::string what; ///< "IniWrite", "RewriteDirective", "WriteTextFile"
        std::string file;
        std::string section; ///< the directive for RewriteDirective
        std::string key;
        std::string value; ///< the text for WriteTextFile
        bool operator==(const Call&) const = default;
    };

    explicit FakeConfigFiles(std::string appDir = "D:\\bundle")
        : m_appDir(std::move(appDir))
    { }

    const std::string& AppDir() const override { return m_appDir; }

    std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
        std::string_view file) override
    {
        if (unreadable.count(std::string(file)) != 0)
            return std::string(defaultValue);
        const auto it = ini.find({lower(file), lower(section), lower(key)});
        return it == ini.end() ? std::string(defaultValue) : it->second;
    }

    Status IniReadable(std::string_view file) override
    {
        const auto it = unreadable.find(std::string(file));
        return it == unreadable.end() ? Status::Ok() : Status::Failure(std::string(file) + ": " + it->second);
    }

    Status IniWrite(std::string_view section, std::string_view key, std::string_view value,
        std::string_view file) override
    {
        if (fails(file))
            return Status::Failure(std::string(file) + ": Permission denied");
        calls.push_back(
            {"IniWrite", std::string(file), std::string(section), std::string(key), std::string(value)});
        ini[{lower(file), lower(section), lower(key)}] = std::string(value);
        return Status::Ok();
    }

    Status RewriteDirective(
        std::string_view file, std::string_view directive, std::string_view value) override
    {
        if (fails(file))
            return Status::Failure(std::string(file) + ": Permission denied");
        calls.push_back(
            {"RewriteDirective", std::string(file), std::string(directive), "", std::string(value)});
        return Status::Ok();
    }

    Status ReadFile(std::string_view file, std::string& content) override
    {
        const auto it = texts.find(std::string(file));
        if (it == texts.end())
            return Status::Failure(std::string(file) + ": No such file or directory");
        content = it->second;
        return Status::Ok();
    }

    Status WriteTextFile(std::string_view file, std::string_view text) override
    {
        if (fails(file))
            return Status::Failure(std::string(file) + ": Permission denied");
        calls.push_back({"WriteTextFile", std::string(file), "", "", std::string(text)});
        texts[std::string(file)] = std::string(text);
        return Status::Ok();
    }

    bool Exists(std::string_view path) override
    {
        return IsDirectory(path) || texts.count(std::string(path)) != 0;
    }
    bool IsDirectory(std::string_view path) override
    {
        return std::find(directories.begin(), directories.end(), path) != directories.end();
    }

    /// Sets a value as if Larkspan.ini (or another file) held it, without recording a call.
    void Set(std::string_view file, std::string_view section, std::string_view key, std::string_view value)
    {
        ini[{lower(file), lower(section), lower(key)}] = std::string(value);
    }

    std::map<std::tuple<std::string, std::string, std::string>, std::string> ini;
    std::map<std::string, std::string> texts;
    std::vector<std::string> directories;
    std::vector<Call> calls;
    std::string failOn; ///< writes to this file fail
    std::map<std::string, std::string> unreadable; ///< INI files that exist but cannot be read, and why

private:
    static std::string lower(std::string_view text)
    {
        std::string result(text);
        std::transform(result.begin(), result.end(), result.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return result;
    }
    bool fails(std::string_view file) const { return !failOn.empty() && file == failOn; }

    std::string m_appDir;
};

} // namespace larkspan
