#include "text_file.h"

#include "text_lines.h"

namespace larkspan {

Status ReadWholeFile(std::string_view path, std::string& content)
{
    bool missing = false;
    return ReadWholeFile(path, content, missing);
}

// Every whole-file text write (directive rewrites, the phpinfo page, vhosts.conf) goes through
// here so they share one rule for the end of the file: a last line without a line end gets one,
// in the text's own convention, and nothing more is appended. Adding a line end unconditionally
// would grow the file by one empty line at every save.
Status WriteTextFile(std::string_view path, std::string&& text)
{
    TerminateLastLine(text);
    return WriteFileAtomically(path, text);
}

Status WriteTextFile(std::string_view path, std::string_view text)
{
    return WriteTextFile(path, std::string(text));
}

} // namespace larkspan
