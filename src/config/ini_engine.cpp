#include "config/ini_engine.h"

#include "config/ascii_text.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct ParsedLine
{
    IniLine::Kind kind = IniLine::Kind::Other;
    std::string_view name;
    std::size_t valueOffset = 0; ///< where the value starts, after '=' and blanks
};

ParsedLine ParseLine(std::string_view text)
{
    using Kind = IniLine::Kind;
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos || text[first] == ';')
        return {};
    if (text[first] == '[') {
        const std::size_t close = text.find(']', first + 1);
        if (close == std::string_view::npos)
            return {};
        return {Kind::Section, Trim(text.substr(first + 1, close - first - 1)), 0};
    }
    const std::size_t equals = text.find('=', first);
    if (equals == std::string_view::npos)
        return text[first] == '#' ? ParsedLine {} : ParsedLine {Kind::Bare, Trim(text.substr(first)), 0};
    std::size_t valueOffset = text.find_first_not_of(kBlanks, equals + 1);
    if (valueOffset == std::string_view::npos)
        valueOffset = text.size();
    return {Kind::Key, Trim(text.substr(first, equals - first)), valueOffset};
}

// Where a line's text starts: after the byte-order mark on the first line.
std::size_t TextBegin(std::string_view content, const TextLine& line)
{
    return line.begin == 0 && content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : line.begin;
}

struct Location
{
    bool sectionFound = false;
    TextLine sectionLine;
    bool keyLineSeen = false;
    TextLine lastKeyLine; ///< of the section, while the key is not found
    bool keyFound = false;
    TextLine keyLine;
    std::size_t valueBegin = 0;
};

Location Locate(std::string_view content, std::string_view section, std::string_view key)
{
    Location location;
    bool inside = false;
    LineScanner scanner(content);
    for (TextLine line; scanner.Next(line);) {
        const std::size_t offset = TextBegin(content, line);
        const ParsedLine parsed = ParseLine(content.substr(offset, line.textEnd - offset));
        if (parsed.kind == IniLine::Kind::Section) {
            if (inside)
                break;
            if (EqualNoCase(parsed.name, section)) {
                inside = true;
                location.sectionFound = true;
                location.sectionLine = line;
            }
        } else if (inside && parsed.kind != IniLine::Kind::Other) {
            if (parsed.kind == IniLine::Kind::Key && EqualNoCase(parsed.name, key)) {
                location.keyFound = true;
                location.keyLine = line;
                location.valueBegin = offset + parsed.valueOffset;
                break;
            }
            // '#' starts a comment in my.ini and older php.ini files: a new key goes above
            // such trailing comments, as it goes above ';' ones.
            if (!parsed.name.starts_with('#')) {
                location.keyLineSeen = true;
                location.lastKeyLine = line;
            }
        }
    }
    return location;
}

bool EndsWithLineEnd(std::string_view text)
{
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

} // namespace

std::string IniValueAsRead(std::string_view raw)
{
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::optional<std::string> IniLookup(std::string_view content, std::string_view section, std::string_view key)
{
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty())
        return std::nullopt;
    const Location location = Locate(content, section, key);
    if (!location.keyFound)
        return std::nullopt;
    return IniValueAsRead(
        content.substr(location.valueBegin, location.keyLine.textEnd - location.valueBegin));
}

std::optional<std::string> IniWriteProblem(
    std::string_view section, std::string_view key, std::string_view value)
{
    constexpr std::string_view kLineBreakOrNul("\r\n\0", 3);
    if (section.find_first_of(kLineBreakOrNul) != std::string_view::npos)
        return catalogue::NameHoldsLineBreak("[" + std::string(section) + "]");
    if (key.find_first_of(kLineBreakOrNul) != std::string_view::npos)
        return catalogue::NameHoldsLineBreak(key);
    if (value.find_first_of(kLineBreakOrNul) != std::string_view::npos)
        return catalogue::ValueHoldsLineBreak(key);
    section = Trim(section);
    key = Trim(key);
    if (section.empty())
        return std::string(catalogue::kSectionNameEmpty);
    if (section.find(']') != std::string_view::npos)
        return catalogue::SectionNameHoldsBracket(section);
    if (key.empty())
        return std::string(catalogue::kKeyNameEmpty);
    if (key.find('=') != std::string_view::npos)
        return catalogue::KeyNameHolds(key, '=');
    if (key.front() == ';' || key.front() == '[')
        return catalogue::KeyNameHolds(key, key.front());
    return std::nullopt;
}

std::string IniUpdate(
    std::string_view content, std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    // Blanks around the value would be dropped on reading anyway; written, they would pile up
    // in front of it at every rewrite.
    value = Trim(value);
    const Location location = Locate(content, section, key);
    const std::string_view lineEnd = LineEndConvention(content);

    std::string updated;
    updated.reserve(content.size() + section.size() + key.size() + value.size() + 8);
    if (location.keyFound) {
        updated.append(content.substr(0, location.valueBegin));
        updated.append(value);
        updated.append(content.substr(location.keyLine.textEnd));
        return updated;
    }

    if (location.sectionFound) {
        const TextLine& anchor = location.keyLineSeen ? location.lastKeyLine : location.sectionLine;
        updated.append(content.substr(0, anchor.end));
        if (!anchor.terminated())
            updated.append(lineEnd);
        updated.append(key).append("=").append(value).append(lineEnd);
        updated.append(content.substr(anchor.end));
        return updated;
    }

    updated.append(content);
    if (!EndsWithLineEnd(content) && !content.empty() && content != kUtf8Bom)
        updated.append(lineEnd);
    updated.append("[").append(section).append("]").append(lineEnd);
    updated.append(key).append("=").append(value).append(lineEnd);
    return updated;
}

IniLine ReadIniLine(std::string_view content, const TextLine& line)
{
    const std::size_t offset = TextBegin(content, line);
    const std::string_view text = content.substr(offset, line.textEnd - offset);
    const ParsedLine parsed = ParseLine(text);
    return {
        parsed.kind, parsed.name, parsed.kind == IniLine::Kind::Key ? text.substr(parsed.valueOffset) : ""};
}

} // namespace larkspan
