#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkspan {

/// One line of a text: [begin, textEnd) is its text, [textEnd, end) its line end, which is
/// CR LF, CR, LF, or nothing for a last line that has none.
struct TextLine
{
    std::size_t begin = 0;
    std::size_t textEnd = 0;
    std::size_t end = 0;

    bool terminated() const { return end != textEnd; }
};

/// The line that starts at `begin`; `begin` must be less than text.size().
inline TextLine LineAt(std::string_view text, std::size_t begin)
{
    const std::size_t size = text.size();
    std::size_t position = begin;
    while (position < size && text[position] != '\n' && text[position] != '\r')
        ++position;
    TextLine line {begin, position, position};
    if (position < size) {
        line.end = position + 1;
        if (text[position] == '\r' && position + 1 < size && text[position + 1] == '\n')
            line.end = position + 2;
    }
    return line;
}

/// Calls `visit(const TextLine&)` for every line of `text`, in order; an empty text has none.
template <typename Visit> void ForEachLine(std::string_view text, Visit&& visit)
{
    for (std::size_t begin = 0; begin < text.size();) {
        const TextLine line = LineAt(text, begin);
        visit(line);
        begin = line.end;
    }
}

#ifdef _WIN32
inline constexpr std::string_view kPlatformLineEnd = "\r\n";
#else
inline constexpr std::string_view kPlatformLineEnd = "\n";
#endif

/// The file's own line-end convention: the line end of its first terminated line, or the
/// platform's when it has none.
inline std::string_view LineEndConvention(std::string_view text)
{
    for (std::size_t begin = 0; begin < text.size();) {
        const TextLine line = LineAt(text, begin);
        if (line.terminated())
            return text.substr(line.textEnd, line.end - line.textEnd);
        begin = line.end;
    }
    return kPlatformLineEnd;
}

/// Ends the last line of `text` in the text's own convention when it has none.
inline void TerminateLastLine(std::string& text)
{
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        text += LineEndConvention(text);
}

} // namespace larkspan
