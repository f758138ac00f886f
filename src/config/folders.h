#pragma once

#include "config/status.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// Folder operations of the settings history and the checkers' private copies. Paths are
/// native; every failure names the path and the OS reason.

/// The folder for temporary files of this user ($TMPDIR, else /tmp).
std::string TemporaryFolderRoot();
/// Creates a new folder only this user can enter, named `prefix` and a unique suffix, in `parent`.
Status MakePrivateFolder(std::string_view parent, std::string_view prefix, std::string& made);
/// Creates `path` and its missing parents; an existing folder is fine.
Status MakeFolders(std::string_view path);
/// Creates the file `path`, which must not exist, holding `bytes` with the permission bits `mode`
/// (not narrowed by the umask); with `sync`, its content is on disk when this returns.
Status WriteNewFile(std::string_view path, std::string_view bytes, unsigned mode, bool sync);
/// Makes the entries of folder `path` durable (created, renamed, removed).
Status SyncFolder(std::string_view path);
/// Renames `from` to `to`, which must not exist.
Status RenameFolder(std::string_view from, std::string_view to);
/// Removes `path` and everything in it; symlinks inside are removed, never followed. A missing
/// path is fine.
Status RemoveTree(std::string_view path);
/// The names of the entries of folder `path` that are folders themselves (symlinks excluded).
Status ListFolders(std::string_view path, std::vector<std::string>& names);
/// The names of every entry of folder `path`, of whatever kind.
Status ListFolderEntries(std::string_view path, std::vector<std::string>& names);
/// Removes from folder `path` the entries that are not folders and whose names `ours` accepts
/// (a link is removed, never followed), then the folder itself if that left it empty. A missing
/// folder is fine; a folder that is a link is refused, and one still holding anything else stays,
/// both failing with the path and the reason.
Status RemoveOwnFolder(std::string_view path, const std::function<bool(std::string_view name)>& ours);
/// Reads the whole regular file `name` of folder `folder`, following no link: a folder or file that
/// is a symbolic link (a reparse point on Windows), a FIFO, a device or a file of more than `limit`
/// bytes is refused, never waited on. Fails with the path and the reason.
Status ReadFileInFolder(
    std::string_view folder, std::string_view name, std::size_t limit, std::string& content);
/// Whether `path` itself is a symbolic link (on Windows, any reparse point: a link or a junction).
bool IsLink(std::string_view path);
/// The names of the entries of folder `path` that are files (a link to a file counts as one).
Status ListFiles(std::string_view path, std::vector<std::string>& names);
/// Whether `first` and `second` both exist and are the same file (through links, another
/// spelling of the name, another letter case where the file system ignores it).
bool SameFile(std::string_view first, std::string_view second);
/// The permission bits of the file `path` (a symlink followed), or nullopt when it has none to
/// give (missing, unreadable).
std::optional<unsigned> PermissionBits(std::string_view path);

/// A private folder (MakePrivateFolder) under TemporaryFolderRoot, removed with everything in it
/// when this goes.
class PrivateFolder final
{
public:
    explicit PrivateFolder(std::string_view prefix)
        : m_status(MakePrivateFolder(TemporaryFolderRoot(), prefix, m_path))
    { }
    ~PrivateFolder()
    {
        if (m_status.ok())
            (void)RemoveTree(m_path);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    /// Why the folder could not be made; Ok when it was.
    const Status& status() const { return m_status; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    Status m_status;
};

} // namespace larkspan
