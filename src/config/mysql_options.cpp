#include "config/mysql_options.h"

#include "config/ascii_text.h"
#include "config/ini_engine.h"
#include "config/text_lines.h"

#include <algorithm>
#include <cctype>

namespace larkspan {

namespace {

bool IsComment(const IniLine& line)
{
    return line.name.starts_with('#');
}

} // namespace

std::string MySqlOptionName(std::string_view name)
{
    std::string result(name);
    for (char& c : result)
        c = c == '_' ? '-' : AsciiLower(c);
    return result;
}

std::map<std::string, std::string> MySqlOptions(
    std::string_view content, std::span<const std::string_view> groups)
{
    std::map<std::string, std::string> options;
    bool inGroup = false;
    ForEachLine(content, [&](const TextLine& line) {
        const IniLine read = ReadIniLine(content, line);
        if (read.kind == IniLine::Kind::Section) {
            const std::string group = MySqlOptionName(read.name);
            inGroup = std::any_of(groups.begin(), groups.end(),
                [&group](std::string_view wanted) { return MySqlOptionName(wanted) == group; });
            return;
        }
        if (!inGroup || read.kind != IniLine::Kind::Key || IsComment(read))
            return;
        std::string name = MySqlOptionName(read.name);
        if (name.starts_with("loose-"))
            name.erase(0, 6);
        std::string_view value = Trim(read.value);
        if (const std::size_t comment = value.find(" #"); comment != std::string_view::npos)
            value = Trim(value.substr(0, comment));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        options[name] = std::string(value);
    });
    return options;
}

std::optional<std::string> MySqlServerOption(std::string_view content, std::string_view option)
{
    const std::map<std::string, std::string> options = MySqlOptions(content);
    const auto found = options.find(MySqlOptionName(option));
    if (found == options.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::string> WithoutOptionLines(
    std::string_view content, std::string_view section, std::string_view key)
{
    const std::string wantedSection = MySqlOptionName(section);
    const std::string wantedKey = MySqlOptionName(key);
    std::string result;
    bool inSection = false;
    bool removed = false;
    ForEachLine(content, [&](const TextLine& line) {
        const IniLine read = ReadIniLine(content, line);
        if (read.kind == IniLine::Kind::Section) {
            inSection = MySqlOptionName(read.name) == wantedSection;
        } else if (inSection && read.kind != IniLine::Kind::Other
            && MySqlOptionName(read.name) == wantedKey) {
            removed = true;
            return;
        }
        result.append(content.substr(line.begin, line.end - line.begin));
    });
    if (!removed)
        return std::nullopt;
    return result;
}

std::optional<MySqlWholeNumber> ReadMySqlWholeNumber(std::string_view text, bool withMultiplier)
{
    MySqlWholeNumber number;
    if (text.starts_with('-')) {
        number.negative = true;
        text.remove_prefix(1);
    }
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty())
        return std::nullopt;
    for (const char c : text.substr(0, digits)) {
        const unsigned long long digit = static_cast<unsigned long long>(c - '0');
        if (number.magnitude > (~0ULL - digit) / 10)
            number.overflow = true;
        number.magnitude = number.magnitude * 10 + digit;
    }
    if (digits != std::string_view::npos) {
        constexpr std::string_view kMultipliers = "KMGTPE";
        const std::size_t power = text.size() == digits + 1 && withMultiplier
            ? kMultipliers.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[digits]))))
            : std::string_view::npos;
        if (power == std::string_view::npos)
            return std::nullopt;
        for (std::size_t i = 0; i <= power; ++i) {
            if (number.magnitude > (~0ULL >> 10))
                number.overflow = true;
            number.magnitude <<= 10;
        }
    }
    if (number.negative && number.magnitude == 0)
        number.negative = false;
    return number;
}

std::map<std::string, std::string> MySqlListedValues(std::string_view listing)
{
    std::map<std::string, std::string> values;
    bool inTable = false;
    ForEachLine(listing, [&](const TextLine& line) {
        const std::string_view text = listing.substr(line.begin, line.textEnd - line.begin);
        if (!inTable) {
            inTable = text.starts_with("-----") && text.find(' ') != std::string_view::npos;
            return;
        }
        const std::size_t gap = text.find(' ');
        if (gap == std::string_view::npos || gap == 0)
            return;
        values[std::string(text.substr(0, gap))] = std::string(Trim(text.substr(gap)));
    });
    return values;
}

} // namespace larkspan
