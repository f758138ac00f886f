#pragma once

#include "status.h"

#include <string>
#include <string_view>

namespace larkspan {

/// Reads a whole file as bytes into `content`. Fails with the path and the OS reason.
Status ReadWholeFile(std::string_view path, std::string& content);

/// Replaces a file atomically: a temporary file beside it, every write checked and synced, the
/// original's permission bits kept, then renamed over it (a symlink's target is replaced). On any
/// failure the temporary file is removed and the original is untouched.
Status WriteFileAtomically(std::string_view path, std::string_view content);

/// Whole-file text write used for the phpinfo page and vhosts.conf: atomic, with the shared
/// decision on line ends and the final line end (see text_file.cpp).
Status WriteTextFile(std::string_view path, std::string_view text);

} // namespace larkspan
