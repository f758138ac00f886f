#pragma once

#include "config/status.h"

#include <string_view>

namespace larkspan {

/// Rewrites every line of `file` that begins, after spaces only, with the word `directive` to read
/// `directive` + " " + `value` (IsDirectiveLine); every other line keeps its bytes. `file` is an absolute
/// path (Windows-style paths are mapped with NativePath). Fails with the path and the OS reason and then
/// leaves the file untouched.
Status RewriteDirective(std::string_view file, std::string_view directive, std::string_view value);

} // namespace larkspan
