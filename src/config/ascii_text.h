#pragma once

#include <algorithm>
#include <string_view>

namespace larkspan {

/// What the settings files' names and values are trimmed of.
inline constexpr std::string_view kBlanks = " \t";

/// `text` without the leading and trailing bytes that `blanks` holds.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

/// ASCII letters in lower case; every other byte as it is, whatever the locale (a byte of a GBK
/// character is never folded).
constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Whether the names are equal but for ASCII letter case.
constexpr bool EqualNoCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size()
        && std::equal(left.begin(), left.end(), right.begin(),
            [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

} // namespace larkspan
