#pragma once

#include <string>

namespace larkspan {

/// The directory of the running executable (symlinks resolved), without a trailing separator
/// except at the root. Empty when it cannot be found.
std::string ExecutableDirectory();

} // namespace larkspan
