#pragma once

#include "config/status.h"

#include <string>
#include <string_view>

namespace larkspan {

/// Reads a whole file as bytes into `content`. Only a regular file of at most 8 MB is read: a
/// directory, FIFO or device is refused at once, never waited on. Fails with the path and the
/// reason.
Status ReadWholeFile(std::string_view path, std::string& content);
/// As above; `missing` tells whether the failure was that no file exists at `path`.
Status ReadWholeFile(std::string_view path, std::string& content, bool& missing);

/// Replaces a file atomically: a temporary file beside it, every write checked and synced, the
/// original's permission bits kept, then renamed over it (a symlink's target is replaced). On any
/// failure the temporary file is removed and the original is untouched.
Status WriteFileAtomically(std::string_view path, std::string_view content);

/// Removes the file at `path`. Fails with the path and the reason.
Status RemoveWholeFile(std::string_view path);

/// The whole-file text write shared by directive rewrites, the phpinfo page and vhosts.conf:
/// atomic, with one rule for the end of the file (see text_file.cpp).
Status WriteTextFile(std::string_view path, std::string_view text);
/// The same, taking over `text` so a large file is not copied once more.
Status WriteTextFile(std::string_view path, std::string&& text);

} // namespace larkspan
