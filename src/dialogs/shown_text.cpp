#include "dialogs/shown_text.h"

namespace larkspan {

ShownText ShowText(const TextCodePage& codePage, std::string bytes)
{
    ShownText shown;
    bool complete = true;
    shown.text = codePage.Decode(bytes, complete);
    // Decoding can also be lossy without a refused byte (a code page with two forms of one
    // character), so exactness is judged by the way back.
    shown.exact = complete && codePage.Encode(shown.text) == bytes;
    shown.bytes = std::move(bytes);
    return shown;
}

std::optional<std::string> BytesFor(
    const TextCodePage& codePage, const ShownText& loaded, const std::string& text)
{
    if (text == loaded.text)
        return loaded.bytes;
    return codePage.Encode(text);
}

} // namespace larkspan
