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

/// The code page of the user's locale (on Windows, the ANSI code page of the system's locale,
/// whatever a manifest makes of this program's). A locale that names no code page beyond ASCII
/// (plain "C") counts as UTF-8.
std::unique_ptr<TextCodePage> MakeSystemTextCodePage();

/// The code page console programs print in (net, httpd.exe, php.exe, mysqld, mysqladmin): on
/// Windows the OEM code page of the system's locale, a line that is valid UTF-8 read as UTF-8
/// (Apache prints its paths so); elsewhere the locale's.
std::unique_ptr<TextCodePage> MakeConsoleTextCodePage();

/// The code page of paths as the file layer, command lines and Apache's configuration files take
/// them: on Windows UTF-8 (the file layer converts it for the wide calls, and Apache reads the paths
/// of its configuration as UTF-8), a line that is not read in the ANSI code page, shown but not
/// exact; elsewhere the locale's, in which file names are bytes.
std::unique_ptr<TextCodePage> MakePathCodePage();

/// `bytes`, text in `from`, as text in `to`; nullopt when they are not text in `from` or hold a
/// character `to` has no form for.
inline std::optional<std::string> ConvertText(
    std::string_view bytes, const TextCodePage& from, const TextCodePage& to)
{
    if (&from == &to)
        return std::string(bytes);
    bool complete = true;
    const std::string text = from.Decode(bytes, complete);
    if (!complete)
        return std::nullopt;
    return to.Encode(text);
}

/// A path read from a file whose text is in `fileCodePage`, for the file layer and command lines
/// (`pathCodePage`). Bytes that do not convert stay as they are: where names are bytes they may
/// still name the file, and elsewhere the file layer reports them.
inline std::string PathFromFileText(
    std::string_view bytes, const TextCodePage& fileCodePage, const TextCodePage& pathCodePage)
{
    return ConvertText(bytes, fileCodePage, pathCodePage).value_or(std::string(bytes));
}

/// A code page by the platform's name for it ("GBK", "ISO-8859-1", "UTF-8"); nullptr when the
/// platform does not know it.
std::unique_ptr<TextCodePage> MakeTextCodePage(std::string_view name);

} // namespace larkspan
