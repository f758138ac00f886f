#pragma once

#include "platform/text_code_page.h"

#include <optional>
#include <string>

namespace larkspan {

/// A value of a file as a dialog shows it: the bytes the file holds and the text the code page
/// makes of them. The bytes stay the truth: a text the user leaves as it was shown is written
/// back, if at all, as the same bytes.
struct ShownText
{
    std::string bytes;
    std::string text; ///< UTF-8, for the widget
    bool exact = true; ///< `text` encodes back to exactly `bytes`
};

ShownText ShowText(const TextCodePage& codePage, std::string bytes);

/// The bytes for a field that showed `loaded` and now holds `text`: the loaded bytes when the text
/// is as shown, otherwise the text in the code page; nullopt when the code page cannot hold it.
std::optional<std::string> BytesFor(
    const TextCodePage& codePage, const ShownText& loaded, const std::string& text);

} // namespace larkspan
