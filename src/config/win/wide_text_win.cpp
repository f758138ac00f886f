#include "config/win/wide_text.h"

#include <windows.h>

#include <climits>

namespace larkspan {

namespace {

std::optional<std::wstring> WideFrom(unsigned codePage, std::string_view bytes)
{
    if (bytes.empty())
        return std::wstring();
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    const int needed
        = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (needed <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(), needed);
    return wide;
}

} // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view utf8)
{
    return WideFrom(CP_UTF8, utf8);
}

std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(wide.size());
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
    return utf8;
}

std::optional<std::wstring> WideFromCodePage(unsigned codePage, std::string_view bytes)
{
    return WideFrom(codePage, bytes);
}

std::optional<std::string> CodePageFromWide(unsigned codePage, std::wstring_view wide)
{
    if (wide.empty())
        return std::string();
    if (wide.size() > INT_MAX)
        return std::nullopt;
    const int length = static_cast<int>(wide.size());
    const int needed = ::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), length, bytes.data(), needed, nullptr, nullptr);
    // Read back: a best-fit look-alike or the default character would not give the same text. This
    // works for every code page, where WC_NO_BEST_FIT_CHARS is refused by some.
    if (WideFrom(codePage, bytes) != wide)
        return std::nullopt;
    return bytes;
}

std::string SystemErrorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    // The wide call: the narrow one answers in the ANSI code page, not in UTF-8.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? std::wstring_view(buffer, length) : std::wstring_view());
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "Windows error " + std::to_string(code);
    return Utf8FromWide(text);
}

} // namespace larkspan
