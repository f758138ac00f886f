#pragma once

#include "config_files.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// The file changes of one save, composed in memory: each file is read once, edited as text, and
/// replaced once by Commit, so that a failure part-way can put every file back.
class FileBatch final
{
public:
    explicit FileBatch(ConfigFiles& files);

    /// Sets `key` in `section` of the INI file `file` (a bare name is resolved against AppDir); a
    /// missing file is created. Fails, naming the file, when it cannot be read, holds no text or
    /// cannot hold the value.
    Status SetIniKey(
        std::string_view file, std::string_view section, std::string_view key, std::string_view value);
    /// Rewrites the `directive` lines of the existing text file `file`.
    Status RewriteDirective(std::string_view file, std::string_view directive, std::string_view value);
    /// Replaces the content of the text file `file` by what `edit` makes of it; a missing file
    /// counts as empty.
    Status Edit(std::string_view file, const std::function<std::string(std::string_view content)>& edit);

    /// Whether some file would change.
    bool Changed() const;
    /// Replaces every changed file once, in the order they were first edited. When a replace
    /// fails, the files already replaced are put back from their old bytes; the failure names
    /// the file and the reason and, when putting back failed as well, which files now hold the
    /// new settings and which the old.
    Status Commit();

private:
    struct File
    {
        std::string path;
        bool existed = false;
        std::string original;
        std::string content;
        bool changed() const { return content != original || (!existed && !content.empty()); }
    };
    /// The composed file at `path`, read on first use.
    Status Open(std::string_view path, bool mustExist, File*& file);

    ConfigFiles& m_files;
    std::vector<File> m_list;
};

} // namespace larkspan
