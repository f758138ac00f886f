#pragma once

#include <cstddef>
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

/// The text a Windows query writes into a wide buffer: `query(buffer, size)` answers with the length
/// written, or, for too small a buffer, with the size it needs (the NUL counted) and nothing written,
/// as GetTempPathW, GetSystemDirectoryW and GetLongPathNameW do; 0, a failure, gives an empty text.
template <typename Query> std::wstring QueryWideText(std::size_t size, Query query)
{
    std::wstring text(size, L'\0');
    for (;;) {
        const std::size_t length = query(text.data(), static_cast<unsigned long>(text.size()));
        if (length == 0)
            return {};
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length);
    }
}

/// `folder` without the separators at its end, a drive's root ("C:\\") kept whole.
inline void TrimTrailingSeparators(std::wstring& folder)
{
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
}

/// The system's text for a Windows error code (or an HRESULT), in UTF-8, without the trailing line
/// end; "Windows error N" when the system has no text for it.
std::string SystemErrorText(unsigned long code);

} // namespace larkspan
