#include "platform/console.h"

#include <cstdio>

namespace larkspan {

bool AttachToParentConsole()
{
    // A program started from a terminal has it as its standard output already.
    return true;
}

void WriteToConsole(ConsoleStream stream, std::string_view utf8)
{
    std::FILE* file = stream == ConsoleStream::Output ? stdout : stderr;
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fflush(file);
}

} // namespace larkspan
