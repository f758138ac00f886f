#pragma once

#include "config/native_line_end.h"

#include <cstddef>
#include <cstring>
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

/// Reads the lines of a text one by one. The next CR and LF are each searched once with
/// memchr and reused until passed, so a scan stays linear whatever the line ends are.
class LineScanner final
{
public:
    explicit LineScanner(std::string_view text)
        : m_text(text)
    {
        m_nextLineFeed = Find('\n');
        m_nextCarriageReturn = Find('\r');
    }

    /// The next line into `line`; false at the end of the text.
    bool Next(TextLine& line)
    {
        const std::size_t size = m_text.size();
        if (m_begin >= size)
            return false;
        if (m_nextLineFeed < m_begin)
            m_nextLineFeed = Find('\n');
        if (m_nextCarriageReturn < m_begin)
            m_nextCarriageReturn = Find('\r');
        const std::size_t textEnd
            = m_nextLineFeed < m_nextCarriageReturn ? m_nextLineFeed : m_nextCarriageReturn;
        std::size_t end = textEnd;
        if (textEnd < size) {
            end = textEnd + 1;
            if (m_text[textEnd] == '\r' && end < size && m_text[end] == '\n')
                ++end;
        }
        line = {m_begin, textEnd, end};
        m_begin = end;
        return true;
    }

private:
    std::size_t Find(char c) const
    {
        const void* found = std::memchr(m_text.data() + m_begin, c, m_text.size() - m_begin);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - m_text.data())
                     : m_text.size();
    }

    std::string_view m_text;
    std::size_t m_begin = 0;
    std::size_t m_nextLineFeed = 0;
    std::size_t m_nextCarriageReturn = 0;
};

/// Calls `visit(const TextLine&)` for every line of `text`, in order; an empty text has none.
template <typename Visit> void ForEachLine(std::string_view text, Visit&& visit)
{
    LineScanner scanner(text);
    for (TextLine line; scanner.Next(line);)
        visit(line);
}

/// The file's own line-end convention: the line end of its first terminated line, or the
/// platform's when it has none.
inline std::string_view LineEndConvention(std::string_view text)
{
    TextLine line;
    if (LineScanner(text).Next(line) && line.terminated())
        return text.substr(line.textEnd, line.end - line.textEnd);
    return kPlatformLineEnd;
}

/// Ends the last line of `text` in the text's own convention when it has none.
inline void TerminateLastLine(std::string& text)
{
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        text += LineEndConvention(text);
}

/// Whether `text` holds bytes that no text in an 8-bit code page or UTF-8 does: NUL and the
/// control characters other than tab, line and page breaks, escape and the old end-of-file mark.
inline bool HoldsBinaryBytes(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && (byte < 0x09 || byte > 0x0D) && byte != 0x1A && byte != 0x1B)
            return true;
    }
    return false;
}

} // namespace larkspan
