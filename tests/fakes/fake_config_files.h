#pragma once

#include "config/config_files.h"
#include "config/ini.h"
#include "config/ini_engine.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace larkspan {

/// Files in memory, read and edited with the real INI engine, recording every write in order.
/// Paths are kept as written (a bare INI name is resolved against AppDir). Writes fail for the
/// file `failOn` and at the positions in `failingWrites` (0 = the first write attempted); files
/// in `unreadable` exist but cannot be read.
class FakeConfigFiles final : public ConfigFiles
{
public:
    struct Call
    {
        std::string what; ///< "ReplaceFile", "RemoveFile", "WriteTextFile"
        std::string file;
        std::string content;
        bool operator==(const Call&) const = default;
    };

    explicit FakeConfigFiles(std::string appDir = "D:\\bundle")
        : m_appDir(std::move(appDir))
    { }

    const std::string& AppDir() const override { return m_appDir; }

    std::string IniRead(std::string_view section, std::string_view key, std::string_view defaultValue,
        std::string_view file) override
    {
        if (Unreadable(file))
            return std::string(defaultValue);
        const auto it = texts.find(Ini(file));
        if (it == texts.end())
            return std::string(defaultValue);
        return IniLookup(it->second, section, key).value_or(std::string(defaultValue));
    }

    Status IniReadable(std::string_view file) override
    {
        const std::string* reason = Unreadable(file);
        return reason ? Status::Failure(std::string(file) + ": " + *reason) : Status::Success();
    }

    Status ReadFile(std::string_view file, std::string& content, bool& missing) override
    {
        missing = false;
        if (const std::string* reason = Unreadable(file))
            return Status::Failure(std::string(file) + ": " + *reason);
        if (std::find(directories.begin(), directories.end(), file) != directories.end())
            return Status::Failure(std::string(file) + ": Is a directory");
        const auto it = texts.find(std::string(file));
        missing = it == texts.end();
        if (missing)
            return Status::Failure(std::string(file) + ": No such file or directory");
        content = it->second;
        return Status::Success();
    }

    Status ReplaceFile(std::string_view file, std::string_view bytes) override
    {
        return Write("ReplaceFile", file, bytes, [&] { texts[std::string(file)] = std::string(bytes); });
    }

    Status RemoveFile(std::string_view file) override
    {
        return Write("RemoveFile", file, "", [&] { texts.erase(std::string(file)); });
    }

    Status WriteTextFile(std::string_view file, std::string_view text) override
    {
        return Write("WriteTextFile", file, text, [&] { texts[std::string(file)] = std::string(text); });
    }

    ServerDirectory CheckServerDirectory(std::string_view path, std::string_view) override
    {
        return std::find(directories.begin(), directories.end(), path) != directories.end()
            ? ServerDirectory::Exists
            : ServerDirectory::Missing;
    }

    /// Sets a key as if the file held it, without recording a write.
    void Set(std::string_view file, std::string_view section, std::string_view key, std::string_view value)
    {
        std::string& content = texts[Ini(file)];
        content = IniUpdate(content, section, key, value);
    }
    /// The content of a file (empty when missing); a bare INI name is resolved against AppDir.
    std::string Text(std::string_view file) const
    {
        const auto it = texts.find(Ini(file));
        return it == texts.end() ? std::string() : it->second;
    }
    std::vector<std::string> WrittenFiles() const
    {
        std::vector<std::string> files;
        for (const Call& call : calls)
            files.push_back(call.file);
        return files;
    }

    std::map<std::string, std::string> texts;
    std::vector<std::string> directories;
    std::vector<Call> calls; ///< the writes that succeeded
    std::string failOn;
    std::set<int> failingWrites;
    std::map<std::string, std::string> unreadable; ///< files that exist but cannot be read, and why
    int writesAttempted = 0;

private:
    std::string Ini(std::string_view file) const
    {
        return file.find('\\') == std::string_view::npos ? ResolveIniPath(file, m_appDir) : std::string(file);
    }
    const std::string* Unreadable(std::string_view file) const
    {
        for (const auto& [name, reason] : unreadable) {
            if (Ini(name) == Ini(file))
                return &reason;
        }
        return nullptr;
    }
    template <typename Apply>
    Status Write(const char* what, std::string_view file, std::string_view content, Apply apply)
    {
        const int position = writesAttempted++;
        if ((!failOn.empty() && file == failOn) || failingWrites.count(position) != 0)
            return Status::Failure(std::string(file) + ": Permission denied");
        calls.push_back({what, std::string(file), std::string(content)});
        apply();
        return Status::Success();
    }

    std::string m_appDir;
};

} // namespace larkspan
