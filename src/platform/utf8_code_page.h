#pragma once
// The UTF-8 code page, the same on every system: text_code_page_linux.cpp and _win.cpp use it.

#include "platform/text_code_page.h"

namespace larkspan {

inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD"; // U+FFFD

/// UTF-8 decoded by its own rules: each ill-formed sequence becomes one U+FFFD per maximal part.
std::unique_ptr<TextCodePage> MakeUtf8CodePage();

} // namespace larkspan
