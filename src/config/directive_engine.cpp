#include "config/directive_engine.h"

#include "config/ascii_text.h"
#include "config/folders.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace larkspan {

namespace {

// A path's components with "." and ".." resolved and either separator, as text.
std::string LexicallyNormal(std::string_view path)
{
    std::vector<std::string_view> parts;
    const bool rooted = !path.empty() && (path.front() == '/' || path.front() == '\\');
    while (!path.empty()) {
        const std::size_t end = std::min(path.find_first_of("/\\"), path.size());
        const std::string_view part = path.substr(0, end);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    std::string normal = rooted ? "/" : "";
    for (const std::string_view part : parts)
        normal.append(normal.empty() || normal.back() == '/' ? "" : "/").append(part);
    return normal;
}

bool IsAbsolute(std::string_view path)
{
    return path.starts_with('/') || path.starts_with('\\')
        || (path.size() > 1 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])));
}

} // namespace

std::optional<DirectiveLine> ReadDirective(std::string_view line)
{
    const std::size_t nameBegin = line.find_first_not_of(kBlanks);
    if (nameBegin == std::string_view::npos)
        return std::nullopt;
    const std::size_t nameEnd = std::min(line.find_first_of(kBlanks, nameBegin), line.size());
    DirectiveLine read;
    read.indent = line.substr(0, nameBegin);
    read.name = line.substr(nameBegin, nameEnd - nameBegin);
    const std::size_t argumentBegin = line.find_first_not_of(kBlanks, nameEnd);
    if (argumentBegin == std::string_view::npos)
        return read;
    std::size_t argumentEnd = 0;
    if (line[argumentBegin] == '"') {
        const std::size_t close = line.find('"', argumentBegin + 1);
        argumentEnd = close == std::string_view::npos ? line.size() : close + 1;
        read.argument = line.substr(argumentBegin + 1, std::min(close, line.size()) - argumentBegin - 1);
    } else {
        argumentEnd = std::min(line.find_first_of(kBlanks, argumentBegin), line.size());
        read.argument = line.substr(argumentBegin, argumentEnd - argumentBegin);
    }
    read.argumentBegin = argumentBegin;
    read.argumentEnd = argumentEnd;
    return read;
}

bool IsDirectiveLine(std::string_view line, std::string_view directive)
{
    const std::optional<DirectiveLine> read = ReadDirective(line);
    return read && read->name == directive && read->indent.find('\t') == std::string_view::npos;
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

std::string RedirectInclude(std::string_view httpdConf, std::string_view serverRoot,
    std::string_view liveVhosts, std::string_view candidateVhosts, bool& redirected)
{
    redirected = false;
    std::string root(serverRoot);
    const std::string target(liveVhosts);
    std::string result;
    result.reserve(httpdConf.size() + candidateVhosts.size());
    ForEachLine(httpdConf, [&](const TextLine& line) {
        const std::string_view text = httpdConf.substr(line.begin, line.textEnd - line.begin);
        const std::string_view ending = httpdConf.substr(line.textEnd, line.end - line.textEnd);
        const std::optional<DirectiveLine> directive = ReadDirective(text);
        if (directive && EqualNoCase(directive->name, "ServerRoot") && !directive->argument.empty())
            root = std::string(directive->argument);
        if (directive
            && (EqualNoCase(directive->name, "Include") || EqualNoCase(directive->name, "IncludeOptional"))
            && !directive->argument.empty()) {
            const std::string named = IsAbsolute(directive->argument)
                ? std::string(directive->argument)
                : root + "/" + std::string(directive->argument);
            if (LexicallyNormal(named) == LexicallyNormal(target) || SameFile(named, target)) {
                result.append(text.substr(0, directive->argumentBegin))
                    .append("\"")
                    .append(candidateVhosts)
                    .append("\"")
                    .append(text.substr(directive->argumentEnd))
                    .append(ending);
                redirected = true;
                return;
            }
        }
        result.append(text).append(ending);
    });
    return result;
}

} // namespace larkspan
