// The servers' error lines condensed for the event log: Apache's and MariaDB's (and older MySQLs')
// time stamps and process numbers go, their levels stay.
#include "app/error_lines.h"

#include "config/ascii_text.h"
#include "config/outside_text.h"

#include <algorithm>

namespace larkspan {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t DigitRun(std::string_view text, std::size_t at, std::size_t least, std::size_t most)
{
    std::size_t length = 0;
    while (at + length < text.size() && length < most && IsDigit(text[at + length]))
        ++length;
    return length >= least ? length : 0;
}

std::size_t Blanks(std::string_view text, std::size_t at)
{
    std::size_t length = 0;
    while (at + length < text.size() && (text[at + length] == ' ' || text[at + length] == '\t'))
        ++length;
    return length;
}

// "9:28:46" or "09:28:46.123456" at `at`: its length, or 0.
std::size_t TimeOfDay(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    for (const std::size_t width : {std::size_t {1}, std::size_t {2}, std::size_t {2}}) {
        if (end != at) {
            if (end >= text.size() || text[end] != ':')
                return 0;
            ++end;
        }
        const std::size_t digits = DigitRun(text, end, width, 2);
        if (digits == 0)
            return 0;
        end += digits;
    }
    if (end < text.size() && text[end] == '.' && DigitRun(text, end + 1, 1, 9) != 0)
        end += 1 + DigitRun(text, end + 1, 1, 9);
    return end - at;
}

// A leading date and time: "2024-01-06  9:28:46", "2024-01-06T09:28:46.123Z" or "240106 9:28:46".
std::size_t DateAndTime(std::string_view text)
{
    std::size_t at = 0;
    if (DigitRun(text, 0, 4, 4) && text.size() > 10 && text[4] == '-' && DigitRun(text, 5, 2, 2)
        && text[7] == '-' && DigitRun(text, 8, 2, 2) && !IsDigit(text[10]))
        at = 10;
    else if (DigitRun(text, 0, 6, 6) == 6 && text.size() > 6 && !IsDigit(text[6]))
        at = 6;
    else
        return 0;
    if (at < text.size() && text[at] == 'T')
        ++at;
    else if (const std::size_t blanks = Blanks(text, at); blanks != 0)
        at += blanks;
    else
        return 0;
    const std::size_t time = TimeOfDay(text, at);
    if (time == 0)
        return 0;
    at += time;
    if (at < text.size() && text[at] == 'Z')
        ++at;
    return at;
}

// Apache's "[Sat Jan 06 09:28:46.123456 2024] ": a first bracket that holds a time of day.
std::size_t BracketedTime(std::string_view text)
{
    if (text.empty() || text.front() != '[')
        return 0;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close > 64)
        return 0;
    for (std::size_t at = 1; at < close; ++at) {
        if (TimeOfDay(text, at) >= 7 && (at == 1 || !IsDigit(text[at - 1])))
            return close + 1;
    }
    return 0;
}

bool StartsWithBracket(std::string_view text, std::string_view word)
{
    return text.size() > word.size() + 1 && text.front() == '[' && text.substr(1, word.size()) == word;
}

} // namespace

std::string CondensedErrorLine(std::string_view line)
{
    std::size_t at = BracketedTime(line);
    if (at == 0) {
        at = DateAndTime(line);
        // MariaDB's thread number after its time: "2024-01-06  9:28:46 0 [ERROR] ...".
        if (at != 0) {
            const std::size_t blanks = Blanks(line, at);
            const std::size_t digits = DigitRun(line, at + blanks, 1, 20);
            if (blanks != 0 && digits != 0 && line.substr(at + blanks + digits).starts_with(" ["))
                at += blanks + digits;
        }
    }
    std::string_view rest = line.substr(at);
    rest.remove_prefix(Blanks(rest, 0));

    // Apache's "[core:emerg] [pid 4242:tid 7] AH00072: ...": the level stays, the process goes.
    std::string condensed;
    while (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            break;
        if (!StartsWithBracket(rest, "pid "))
            condensed.append(rest.substr(0, close + 1)).append(" ");
        rest.remove_prefix(close + 1);
        rest.remove_prefix(Blanks(rest, 0));
    }
    condensed.append(rest);
    condensed = CleanLine(condensed);
    while (!condensed.empty() && condensed.back() == ' ')
        condensed.pop_back();
    CutAtCharacter(condensed, kShownLineBytes);
    return condensed;
}

bool IsInformational(std::string_view line)
{
    if (line.empty() || line.front() != '[')
        return false;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    std::string level(line.substr(1, close - 1));
    std::transform(level.begin(), level.end(), level.begin(), AsciiLower);
    level = level.substr(level.rfind(':') == std::string::npos ? 0 : level.rfind(':') + 1);
    return level == "note" || level == "notice" || level == "info" || level == "debug"
        || level.starts_with("trace");
}

} // namespace larkspan
