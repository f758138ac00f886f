#pragma once
// What the per-OS file layers (text_file_posix.cpp, text_file_win.cpp) share.

#include <cstddef>
#include <string>
#include <string_view>

namespace larkspan {

// Far above any configuration file; a larger file is refused instead of filling memory and
// freezing the window that asked for it.
inline constexpr std::size_t kReadLimitBytes = 8u << 20;

/// A name for the temporary file beside the file `name`, hidden and unlikely to collide:
/// "." name ".tmp" process "-" number "-" number. IsTemporaryNameOf matches exactly this form.
std::string TemporaryNameFor(std::string_view name, unsigned long process);

/// Whether the directory entry `entry` has the form of a temporary file of the file `name`.
bool IsTemporaryNameOf(std::string_view entry, std::string_view name);

} // namespace larkspan
