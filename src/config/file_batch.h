#pragma once

#include "config/config_files.h"

#include <functional>
#include <optional>
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

    /// Sets the content of `file` to exactly `bytes`, whatever it holds now, or removes the file
    /// when `bytes` is nullopt.
    Status Restore(std::string_view file, std::optional<std::string> bytes);

    /// Whether some file would change.
    bool Changed() const;

    /// A file that Commit would replace or remove. The views live as long as the batch and its
    /// next edit.
    struct Change
    {
        std::string_view path; ///< as the edit named it
        bool existed = false;
        std::string_view before; ///< empty when the file did not exist
        std::optional<std::string_view> after; ///< nullopt: the file is removed
    };
    /// The files that would change, in the order Commit replaces them.
    std::vector<Change> Changes() const;
    /// Replaces every changed file once, in the order they were first edited. When a replace
    /// fails, the files already replaced are put back from their old bytes; the failure names
    /// the file and the reason and, when putting back failed as well, which files now hold the
    /// new settings and which the old.
    Status Commit();
    /// After a failed Commit: whether some replaced files could not be put back, so that they
    /// hold the new settings while the others hold the old.
    bool partlyCommitted() const { return m_partlyCommitted; }

private:
    struct File
    {
        std::string path;
        bool existed = false;
        std::string original;
        std::string content;
        bool present = true; ///< whether the file exists after the commit
        bool createEmpty = false; ///< a missing file is created even when `content` is empty
        bool changed() const
        {
            if (!present)
                return existed;
            return existed ? content != original : !content.empty() || createEmpty;
        }
    };
    /// The composed file at `path`, read on first use; unless `anyBytes`, it must hold text.
    Status Open(std::string_view path, bool mustExist, File*& file, bool anyBytes = false);

    ConfigFiles& m_files;
    std::vector<File> m_list;
    bool m_partlyCommitted = false;
};

} // namespace larkspan
