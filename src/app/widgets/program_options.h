#pragma once

#include <optional>

namespace larkspan {

/// Sets the application's name, version and desktop entry name. Needs no application object.
void SetApplicationIdentity();

/// While it lives, a fatal error of Qt, which while the application object is made means that no
/// display could be opened, ends the program with the panel's own message on standard error naming
/// DISPLAY, and exit status 1, instead of an abort. Qt's own words follow the message.
class NoDisplayExit final
{
public:
    NoDisplayExit();
    ~NoDisplayExit();
    NoDisplayExit(const NoDisplayExit&) = delete;
    NoDisplayExit& operator=(const NoDisplayExit&) = delete;
};

/// Answers --help and --version, and refuses anything else that is not one of Qt's own options,
/// without a display and before any other instance is looked for. Returns the exit status when
/// the program should end there, nothing when the panel should start.
std::optional<int> AnswerCommandLine(int argc, char** argv);

} // namespace larkspan
