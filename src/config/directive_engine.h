#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// Whether `line` (without its line end) holds `directive` as its first word: only spaces
/// before it, and a blank, a tab or the end of the line after it. Letter case counts.
bool IsDirectiveLine(std::string_view line, std::string_view directive);

/// Why `directive` and `value` cannot be written as one directive line (an empty name, a blank
/// in the name, a line break or NUL), or nullopt when they can.
std::optional<std::string> DirectiveProblem(std::string_view directive, std::string_view value);

/// `content` with every directive line replaced by `directive` + " " + `value`. Each line keeps
/// its own line end; every other line keeps its bytes.
std::string RewriteDirectiveText(
    std::string_view content, std::string_view directive, std::string_view value);

} // namespace larkspan
