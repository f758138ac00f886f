// Placeholder implementations until the real engine lands; replaced file by file.
#include "directive.h"
#include "ini.h"
#include "native_path.h"
#include "number_check.h"
#include "text_file.h"

namespace larkspan {
std::string NativePath(std::string_view path) { return std::string(path); }
Status ReadWholeFile(std::string_view path, std::string&) { return Status::Failure(std::string(path) + ": not implemented"); }
Status WriteFileAtomically(std::string_view path, std::string_view) { return Status::Failure(std::string(path) + ": not implemented"); }
Status WriteTextFile(std::string_view path, std::string_view) { return Status::Failure(std::string(path) + ": not implemented"); }
std::string ResolveIniPath(std::string_view file, std::string_view) { return std::string(file); }
std::string IniRead(std::string_view, std::string_view, std::string_view d, std::string_view, std::string_view) { return std::string(d); }
Status IniWrite(std::string_view, std::string_view, std::string_view, std::string_view f, std::string_view) { return Status::Failure(std::string(f) + ": not implemented"); }
Status RewriteDirective(std::string_view f, std::string_view, std::string_view) { return Status::Failure(std::string(f) + ": not implemented"); }
NumberCheck WholeNumberCheck(std::string_view) { return NumberCheck::NotANumber; }
} // namespace larkspan
