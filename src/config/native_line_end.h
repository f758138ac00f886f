#pragma once

#include <string_view>

namespace larkspan {

/// The line end of a new text file here: CR LF on Windows, LF elsewhere.
extern const std::string_view kPlatformLineEnd;

} // namespace larkspan
