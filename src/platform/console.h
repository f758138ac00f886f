#pragma once

#include <string_view>

namespace larkspan {

/// The program's answers on the command line (--help, --version, a refused option).
enum class ConsoleStream { Output, Error };

/// Makes sure that what WriteToConsole writes reaches the user who started the program from a
/// command line. A Windows GUI program has no console of its own: it uses its standard handles
/// when they lead somewhere (a pipe, a file), else the console of the program that started it.
/// False when there is nowhere to write.
bool AttachToParentConsole();

/// Writes `utf8` to the program's standard output or error: on a Windows console as its own
/// characters, redirected in the code page console programs write in; elsewhere as it is.
void WriteToConsole(ConsoleStream stream, std::string_view utf8);

} // namespace larkspan
