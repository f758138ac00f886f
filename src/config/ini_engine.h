#pragma once

#include "config/text_lines.h"

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The INI engine on text, without files. Its rules follow the Windows profile functions that
/// the settings files were written for:
/// - CR LF, CR and LF end a line; a leading UTF-8 byte-order mark is skipped;
/// - "[name]" opens a section; "name = value" is a key; names are trimmed of blanks and tabs
///   and compared without regard to ASCII letter case;
/// - a line whose first non-blank character is ';' is a comment and never matches;
/// - keys before the first section belong to no section and cannot be reached;
/// - of two sections (or two keys in a section) with the same name, the first wins.

/// The value of `key` in `section`: trimmed of blanks and tabs, one outer pair of matching
/// quotes removed; the text after '=' is taken whole (no inline comments). Empty when the key
/// line holds nothing after '='; nullopt when the section or the key is missing.
std::optional<std::string> IniLookup(
    std::string_view content, std::string_view section, std::string_view key);

/// Why `section`, `key` and `value` cannot be written so that they read back (a line break,
/// a NUL, an empty name, '=' in a key, ']' in a section...), or nullopt when they can.
std::optional<std::string> IniWriteProblem(
    std::string_view section, std::string_view key, std::string_view value);

/// `content` with `key` in `section` set to `value`, which must have passed IniWriteProblem.
/// The value is written trimmed of blanks and tabs (reading drops them anyway). An existing key
/// keeps its line, spelling and spacing; only the text after "= " changes.
/// A missing key is added as "key=value" after the last setting of its section (a key line or
/// a bare word, not a '#' comment) or after the section line; a missing section is added at
/// the end. New lines take the content's
/// own line end. Every other byte stays, except that an unterminated last line before the
/// insertion point gets a line end.
std::string IniUpdate(
    std::string_view content, std::string_view section, std::string_view key, std::string_view value);

/// What IniLookup returns for a key line whose text after '=' is `raw`.
std::string IniValueAsRead(std::string_view raw);

/// One line of an INI text read by the rules above, for readers of other dialects (MySQL's
/// option files) that share them.
struct IniLine
{
    /// Bare: a setting without '=' (my.ini's "skip-external-locking"), named by its whole text; it
    /// never matches a key of the profile rules but, like a key line, marks where a section's
    /// settings end. Other: a blank line, a ';' comment, a '#' line without '=', a '[' without ']'.
    enum class Kind { Other, Section, Key, Bare };
    Kind kind = Kind::Other;
    std::string_view name; ///< a section's or key's name, trimmed; a bare setting's whole text
    std::string_view value; ///< a key's text after '=' and the blanks after it, to the line's end
};

/// Reads `line` of `content` (a leading byte-order mark is skipped on the first line).
IniLine ReadIniLine(std::string_view content, const TextLine& line);

} // namespace larkspan
