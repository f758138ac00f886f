#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// UTF-16 for the wide Windows calls; nothing when `utf8` is not valid UTF-8, so that a mangled
/// name never reaches the file system as a different file.
std::optional<std::wstring> WideFromUtf8(std::string_view utf8);

/// UTF-8 of a wide text from Windows; unpaired surrogates become U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

/// The text of `bytes` in the Windows code page `codePage`, as UTF-16; nothing when a byte sequence
/// has no character there.
std::optional<std::wstring> WideFromCodePage(unsigned codePage, std::string_view bytes);

/// `wide` in the Windows code page `codePage`; nothing when a character has no form there (never a
/// best-fit look-alike or a '?' in its place).
std::optional<std::string> CodePageFromWide(unsigned codePage, std::wstring_view wide);

/// The system's text for a Windows error code (or an HRESULT), in UTF-8, without the trailing line
/// end; "Windows error N" when the system has no text for it.
std::string SystemErrorText(unsigned long code);

} // namespace larkspan
