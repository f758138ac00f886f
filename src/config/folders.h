#pragma once

#include "config/status.h"

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
/// Whether `first` and `second` both exist and are the same file (through links, another
/// spelling of the name, another letter case where the file system ignores it).
bool SameFile(std::string_view first, std::string_view second);
/// The permission bits of the file `path` (a symlink followed), or nullopt when it has none to
/// give (missing, unreadable).
std::optional<unsigned> PermissionBits(std::string_view path);

} // namespace larkspan
