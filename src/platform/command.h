#pragma once

#include <string>
#include <vector>

namespace larkspan {

/// How a started program's first window is shown.
enum class WindowStyle { Hidden, NormalFocus, MinimizedFocus };

/// One argument of a command. The tag says how the launcher treats it: a Path is mapped to the
/// native file system (AppDir + "\PHP5\php.ini"), a Url and a Literal are passed unchanged.
struct Argument
{
    enum class Kind { Path, Url, Literal };
    Kind kind = Kind::Literal;
    std::string text;

    static Argument path(std::string text) { return {Kind::Path, std::move(text)}; }
    static Argument url(std::string text) { return {Kind::Url, std::move(text)}; }
    static Argument literal(std::string text) { return {Kind::Literal, std::move(text)}; }
    bool operator==(const Argument&) const = default;
};

/// An outside program and its arguments, kept as data so that blanks and quotes reach the program
/// intact and no shell ever interprets them.
struct Command
{
    std::string program; ///< a bare name ("net", "explorer.exe") or a Windows-style path
    std::vector<Argument> arguments;

    /// The command line as the user would type it: program and arguments joined by one blank, each
    /// quoted by the Windows rules only when it is empty or holds a blank, tab or quote.
    std::string commandLine() const;
    bool operator==(const Command&) const = default;
};

/// How every process starter resolves a command: the program and the path arguments mapped to the
/// native file system (native_path.h), addresses and literals as they are; all arguments literal.
Command NativeCommand(const Command& command);

/// The native command as an argument vector: the program first.
std::vector<std::string> ArgumentVector(const Command& native);

} // namespace larkspan
