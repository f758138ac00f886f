#include "platform/command.h"

#include "config/native_path.h"

namespace larkspan {
namespace {

bool NeedsQuotes(const std::string& text)
{
    return text.find_first_of(" \t\"") != std::string::npos;
}

// The rules the Windows C runtime uses to split a command line: inside quotes, backslashes are
// literal unless they precede a quote, so those (and the closing quote's) are doubled.
void AppendQuoted(std::string& out, const std::string& text)
{
    out += '"';
    std::size_t backslashes = 0;
    for (const char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            out.append(backslashes * 2 + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
}

void AppendWord(std::string& out, const std::string& text)
{
    if (NeedsQuotes(text))
        AppendQuoted(out, text);
    else
        out += text;
}

} // namespace

std::string Command::commandLine() const
{
    std::string line;
    AppendWord(line, program);
    for (const Argument& argument : arguments) {
        line += ' ';
        AppendWord(line, argument.text);
    }
    return line;
}

Command NativeCommand(const Command& command)
{
    Command native {NativePath(command.program), {}};
    for (const Argument& argument : command.arguments)
        native.arguments.push_back(Argument::literal(
            argument.kind == Argument::Kind::Path ? NativePath(argument.text) : argument.text));
    return native;
}

std::vector<std::string> ArgumentVector(const Command& native)
{
    std::vector<std::string> words {native.program};
    for (const Argument& argument : native.arguments)
        words.push_back(argument.text);
    return words;
}

} // namespace larkspan
