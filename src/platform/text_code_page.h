#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The code page of the 8-bit text files the panel edits (Larkspan.ini, vhosts.conf, ...). Text on
/// the panel's side is UTF-8; file bytes are decoded only to be shown and encoded only where the
/// user changed them.
class TextCodePage
{
public:
    virtual ~TextCodePage() = default;
    /// The UTF-8 text that `bytes` stand for. Each byte sequence the code page does not define
    /// becomes U+FFFD; `complete` tells whether there was none.
    virtual std::string Decode(std::string_view bytes, bool& complete) const = 0;
    /// `text` (UTF-8) in the code page, or nullopt when it holds a character the code page has no
    /// form for (or is not valid UTF-8).
    virtual std::optional<std::string> Encode(std::string_view text) const = 0;
};

/// The code page of the user's locale (on Windows, the ANSI code page). A locale that names no
/// code page beyond ASCII (plain "C") counts as UTF-8.
std::unique_ptr<TextCodePage> MakeSystemTextCodePage();

/// A code page by the platform's name for it ("GBK", "ISO-8859-1", "UTF-8"); nullptr when the
/// platform does not know it.
std::unique_ptr<TextCodePage> MakeTextCodePage(std::string_view name);

} // namespace larkspan
