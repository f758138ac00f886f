#include "config/outside_text.h"

#include "config/text_lines.h"

#include <algorithm>

namespace larkspan {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::string_view kEllipsis = "…";
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kControlSequenceIntroducer = 0x9B;

struct Character
{
    char32_t code = 0;
    std::size_t length = 0; ///< 0: no UTF-8 character begins here
};

// The UTF-8 character at `at`, rejecting overlong forms, surrogates and what lies beyond U+10FFFF.
Character CharacterAt(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    } else {
        return {};
    }
    if (text.size() - at < length)
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u)
            return {};
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, length};
}

bool IsLineBreak(char32_t code)
{
    return code == '\t' || code == '\n' || code == '\r' || code == '\v' || code == '\f' || code == 0x85
        || code == 0x2028 || code == 0x2029;
}

// Control characters and the characters that change the direction of what follows them.
bool IsInvisibleControl(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E || code == 0x200F
        || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

bool InRange(std::string_view text, std::size_t at, char first, char last)
{
    return at < text.size() && text[at] >= first && text[at] <= last;
}

// Where a control sequence ends whose parameters begin at `at` (after ESC [ or CSI): parameter
// bytes, intermediate bytes, then one final byte.
std::size_t AfterControlSequence(std::string_view text, std::size_t at)
{
    while (InRange(text, at, 0x30, 0x3F))
        ++at;
    while (InRange(text, at, 0x20, 0x2F))
        ++at;
    return InRange(text, at, 0x40, 0x7E) ? at + 1 : at;
}

// Where an escape sequence ends whose ESC was at `at - 1`: a control sequence, or intermediate
// bytes and one final byte. A string the sequence opens (a window title, say) stays as text.
std::size_t AfterEscapeSequence(std::string_view text, std::size_t at)
{
    if (at < text.size() && text[at] == '[')
        return AfterControlSequence(text, at + 1);
    while (InRange(text, at, 0x20, 0x2F))
        ++at;
    return InRange(text, at, 0x30, 0x7E) ? at + 1 : at;
}

} // namespace

std::string CleanLine(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Character character = CharacterAt(text, at);
        if (character.length == 0) {
            kept += kReplacement;
            ++at;
            continue;
        }
        const std::size_t next = at + character.length;
        if (character.code == kEscape)
            at = AfterEscapeSequence(text, next);
        else if (character.code == kControlSequenceIntroducer)
            at = AfterControlSequence(text, next);
        else {
            if (IsLineBreak(character.code))
                kept += ' ';
            else if (!IsInvisibleControl(character.code))
                kept.append(text.substr(at, character.length));
            at = next;
        }
    }
    return kept;
}

void CutAtCharacter(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u)
        --end;
    text.resize(end);
    text += kEllipsis;
}

std::string CleanLines(std::string_view text, std::size_t lineLimit, std::size_t totalLimit, bool* cut)
{
    std::string shown;
    bool first = true;
    bool full = false;
    bool leftOut = false;
    ForEachLine(text, [&](const TextLine& line) {
        if (full) {
            leftOut = true;
            return;
        }
        const std::size_t separator = first ? 0 : 1;
        if (shown.size() + separator >= totalLimit) {
            full = leftOut = true;
            return;
        }
        const std::size_t room = totalLimit - shown.size() - separator;
        std::string one = CleanLine(text.substr(line.begin, line.textEnd - line.begin));
        if (one.size() > std::min(lineLimit, room)) {
            leftOut = true;
            full = one.size() > room;
            CutAtCharacter(one, std::min(lineLimit, room));
        }
        shown.append(separator, '\n').append(one);
        first = false;
    });
    if (cut)
        *cut = leftOut;
    return shown;
}

} // namespace larkspan
