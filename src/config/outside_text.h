#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace larkspan {

/// Text from outside the panel (the servers' error logs, the checkers' and other programs' output,
/// the names of other processes), in UTF-8, as the event log and the message boxes may show it:
/// nothing in it may colour, hide, reorder or split what is shown.

/// How many bytes of one line the event log and the message boxes show.
inline constexpr std::size_t kShownLineBytes = 1000;
/// How many bytes of one program's words a message box shows.
inline constexpr std::size_t kShownTextBytes = 4000;

/// One line: the control characters go (C0, DEL, C1, with the escape sequences they begin), and
/// so do the bidirectional controls (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069);
/// a tab and the line breaks (CR, LF, VT, FF, U+0085, U+2028, U+2029) become a blank; a byte that
/// is not UTF-8 becomes U+FFFD.
std::string CleanLine(std::string_view text);

/// `text` cut to at most `limit` bytes and "…", never inside a UTF-8 sequence; as it is when it fits.
void CutAtCharacter(std::string& text, std::size_t limit);

/// Several lines for a message box: each cleaned as by CleanLine and cut at `lineLimit` bytes, and
/// joined by "\n" up to `totalLimit` bytes in all (a last line that does not fit is cut, the rest
/// left out). `cut`, when given, tells whether anything was cut or left out.
std::string CleanLines(
    std::string_view text, std::size_t lineLimit, std::size_t totalLimit, bool* cut = nullptr);

} // namespace larkspan
