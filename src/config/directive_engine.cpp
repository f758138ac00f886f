#include "config/directive_engine.h"

#include "config/text_lines.h"
#include "texts/catalogue.h"

namespace larkspan {

bool IsDirectiveLine(std::string_view line, std::string_view directive)
{
    std::size_t start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    if (line.substr(start, directive.size()) != directive)
        return false;
    const std::size_t after = start + directive.size();
    return after == line.size() || line[after] == ' ' || line[after] == '\t';
}

std::optional<std::string> DirectiveProblem(std::string_view directive, std::string_view value)
{
    // An empty name would match every line and wipe the file.
    if (directive.empty())
        return std::string(catalogue::kDirectiveNameEmpty);
    if (directive.find_first_of(std::string_view(" \t\r\n\0", 5)) != std::string_view::npos)
        return catalogue::DirectiveNameHoldsBlank(directive);
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return catalogue::ValueHoldsLineBreak(directive);
    return std::nullopt;
}

std::string RewriteDirectiveText(std::string_view content, std::string_view directive, std::string_view value)
{
    std::string rewritten;
    rewritten.reserve(content.size() + 64);
    std::size_t copiedUpTo = 0;
    ForEachLine(content, [&](const TextLine& line) {
        if (!IsDirectiveLine(content.substr(line.begin, line.textEnd - line.begin), directive))
            return;
        rewritten.append(content.substr(copiedUpTo, line.begin - copiedUpTo));
        rewritten.append(directive).append(" ").append(value);
        copiedUpTo = line.textEnd;
    });
    rewritten.append(content.substr(copiedUpTo));
    return rewritten;
}

} // namespace larkspan
