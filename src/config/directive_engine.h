#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The httpd.conf engine on text, without files: the reader of a directive line as Apache reads
/// it, the rewriter of the settings dialog, and the redirection of an Include for a check.

/// One line of httpd.conf read as a directive: its name and its first argument. A comment reads
/// as a directive whose name begins with '#'.
struct DirectiveLine
{
    std::string_view indent; ///< the blanks and tabs before the name
    std::string_view name;
    std::string_view argument; ///< the first argument, without its quotes
    std::size_t argumentBegin = 0; ///< within the line, quotes included; 0 without an argument
    std::size_t argumentEnd = 0;
};

/// The directive of `line` (without its line end): the name runs from the first byte that is not
/// a blank or a tab to the next blank or tab; the first argument follows after blanks and tabs, a
/// quoted one up to its closing quote (or the line's end). Nullopt for a line of blanks only.
std::optional<DirectiveLine> ReadDirective(std::string_view line);

/// Whether `line` (without its line end) holds `directive` as its first word, as the rewriter
/// matches it: only spaces before it (a tab-indented line is left alone), a blank, a tab or the
/// end of the line after it, and letter case counts.
bool IsDirectiveLine(std::string_view line, std::string_view directive);

/// Why `directive` and `value` cannot be written as one directive line (an empty name, a blank
/// in the name, a line break or NUL), or nullopt when they can.
std::optional<std::string> DirectiveProblem(std::string_view directive, std::string_view value);

/// `content` with every directive line replaced by `directive` + " " + `value`; both must have
/// passed DirectiveProblem. Each line keeps its own line end; every other line keeps its bytes.
std::string RewriteDirectiveText(
    std::string_view content, std::string_view directive, std::string_view value);

/// `httpdConf` with every Include (or IncludeOptional) line that names the file `liveVhosts`
/// (relative to the ServerRoot in effect, `serverRoot` at first) naming `candidateVhosts`
/// instead. Directive names are compared without regard to letter case, as Apache compares them.
/// Every other byte stays, so the line numbers are those of the real file. `redirected` tells
/// whether a line did.
std::string RedirectInclude(std::string_view httpdConf, std::string_view serverRoot,
    std::string_view liveVhosts, std::string_view candidateVhosts, bool& redirected);

} // namespace larkspan
