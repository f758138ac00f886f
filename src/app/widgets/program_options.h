#pragma once

#include <optional>

namespace larkspan {

/// Sets the application's name, version and desktop entry name. Needs no application object.
void SetApplicationIdentity();

/// Answers --help and --version, and refuses anything else that is not one of Qt's own options,
/// without a display and before any other instance is looked for. Returns the exit status when
/// the program should end there, nothing when the panel should start.
std::optional<int> AnswerCommandLine(int argc, char** argv);

} // namespace larkspan
