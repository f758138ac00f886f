#pragma once

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace larkspan {

/// MySQL's option files (my.ini) as the server reads them, on the INI engine's line rules
/// (ini_engine.h): sections need their ']', a leading byte-order mark is skipped, ';' starts a
/// comment line, and so does '#'.

/// A MySQL option name as the server compares it: ASCII lower case, '_' read as '-'.
std::string MySqlOptionName(std::string_view name);

/// The groups a MySQL or MariaDB server reads from its option file.
inline constexpr std::array<std::string_view, 6> kMySqlServerGroups {
    "mysqld", "server", "mariadb", "mariadbd", "client-server", "galera"};

/// The options set in `groups` (group names compared as MySqlOptionName makes them) as the
/// server takes them: names as MySqlOptionName makes them, without a "loose-" prefix; a value
/// trimmed, cut at a " #" comment, one outer pair of matching quotes removed; of an option set
/// twice, in one group or in several, the last setting wins. Settings without '=' have no value
/// and are left out.
std::map<std::string, std::string> MySqlOptions(
    std::string_view content, std::span<const std::string_view> groups = kMySqlServerGroups);

/// The value the server takes for `option` from `content`, by the rules of MySqlOptions, or
/// nullopt when no group of the server sets it.
std::optional<std::string> MySqlServerOption(std::string_view content, std::string_view option);

/// `content` without the lines that set `key` in any section named `section`, names compared as
/// MySqlOptionName makes them; a setting without '=' counts by its whole text. Returns nullopt
/// when there is no such line.
std::optional<std::string> WithoutOptionLines(
    std::string_view content, std::string_view section, std::string_view key);

/// A whole number as the server reads it from an option: a sign, digits and, where allowed, one
/// multiplier letter (K, M, G, T, P, E: powers of 1024).
struct MySqlWholeNumber
{
    bool negative = false;
    unsigned long long magnitude = 0;
    bool overflow = false; ///< the magnitude did not fit and is not to be trusted
    bool operator==(const MySqlWholeNumber&) const = default;
};

/// `text` as a whole number, or nullopt when it is none; a multiplier only `withMultiplier`.
std::optional<MySqlWholeNumber> ReadMySqlWholeNumber(std::string_view text, bool withMultiplier);

/// The "name value" table that the server's `--help --verbose` ends with, by name as listed.
std::map<std::string, std::string> MySqlListedValues(std::string_view listing);

} // namespace larkspan
