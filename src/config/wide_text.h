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

/// The ANSI code page's reading of `bytes`: how Windows shows 8-bit file text. Nothing when a byte
/// sequence has no character there, so the caller can keep such bytes as they are.
std::optional<std::wstring> WideFromAnsiCodePage(std::string_view bytes);

/// `wide` in the ANSI code page; nothing when a character has no encoding there (never a best-fit
/// look-alike or a '?' in its place).
std::optional<std::string> AnsiCodePageFromWide(std::wstring_view wide);

/// The system's text for a Windows error code (or an HRESULT), in UTF-8, without the trailing line
/// end; "Windows error N" when the system has no text for it.
std::string SystemErrorText(unsigned long code);

} // namespace larkspan
