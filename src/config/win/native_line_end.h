#pragma once

#include <string_view>

namespace larkspan {

/// The line end of a new text file here.
inline constexpr std::string_view kPlatformLineEnd = "\r\n";

} // namespace larkspan
