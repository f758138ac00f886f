#include "config/directive.h"

#include "config/directive_engine.h"
#include "config/native_path.h"
#include "config/text_file.h"
#include "config/text_lines.h"

namespace larkspan {

Status RewriteDirective(std::string_view file, std::string_view directive, std::string_view value)
{
    const std::string path = NativePath(file);
    if (const std::optional<std::string> problem = DirectiveProblem(directive, value))
        return Status::Failure(path + ": " + *problem);

    std::string content;
    if (Status read = ReadWholeFile(path, content); !read.ok())
        return read;
    std::string rewritten = RewriteDirectiveText(content, directive, value);
    TerminateLastLine(rewritten);
    if (rewritten == content)
        return Status::Success();
    content = {}; // one large buffer less while the new file is written
    return WriteTextFile(path, std::move(rewritten));
}

} // namespace larkspan
