#include "config/native_path.h"
#include "config/win/wide_text.h"

#include <windows.h>

namespace larkspan {

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Apache on Windows reads both separators; a path is its own when it names a drive ("D:/www"), a
// share ("\\server\share") or the top of the ServerRoot's drive ("/www"), else it hangs below the
// ServerRoot.
std::string AsServerReadsIt(std::string_view path, std::string_view serverRoot)
{
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]))
        return std::string(path);
    if (IsSeparator(path.front())) {
        if (path.size() >= 2 && IsSeparator(path[1]))
            return std::string(path);
        const bool rootHasDrive = serverRoot.size() >= 2 && serverRoot[1] == ':';
        return (rootHasDrive ? std::string(serverRoot.substr(0, 2)) : std::string()) + std::string(path);
    }
    std::string full(serverRoot);
    if (!full.empty() && !IsSeparator(full.back()))
        full += '\\';
    return full + std::string(path);
}

} // namespace

std::string NativePath(std::string_view path)
{
    return std::string(path);
}

ServerDirectory CheckServerDirectory(std::string_view path, std::string_view serverRoot)
{
    // A wildcard would name several entries; Windows refuses it in a name anyway.
    if (path.empty() || path.find_first_of(std::string_view("*?\"<>|\0", 7)) != std::string_view::npos)
        return ServerDirectory::Missing;
    const std::optional<std::wstring> name = WideFromUtf8(AsServerReadsIt(path, serverRoot));
    if (!name)
        return ServerDirectory::Missing;
    const DWORD attributes = ::GetFileAttributesW(name->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ? ServerDirectory::Exists
        : ServerDirectory::Missing;
}

} // namespace larkspan
