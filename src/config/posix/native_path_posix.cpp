#include "config/ascii_text.h"
#include "config/native_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace larkspan {

namespace {

namespace fs = std::filesystem;

bool EntryExists(const std::string& path)
{
    std::error_code error;
    // symlink_status: a dangling link is still the entry that was named.
    return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

// The entry of `directory` whose name equals `name` but for letter case; the smallest such
// name when several do, so the choice does not depend on the directory's order.
std::string FindIgnoringCase(const std::string& directory, std::string_view name)
{
    std::string found;
    std::error_code error;
    fs::directory_iterator entries(directory.empty() ? "." : directory, error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::string candidate = entries->path().filename().string();
        if (EqualNoCase(candidate, name) && (found.empty() || candidate < found))
            found = std::move(candidate);
    }
    return found;
}

} // namespace

std::string NativePath(std::string_view path)
{
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    if (native.empty() || EntryExists(native))
        return native;

    std::string resolved;
    std::size_t position = 0;
    if (native.front() == '/') {
        resolved = "/";
        position = 1;
    }
    bool matching = true; // false once a component matched nothing: nothing below it exists
    while (position <= native.size()) {
        std::size_t slash = native.find('/', position);
        if (slash == std::string::npos)
            slash = native.size();
        const std::string_view component(native.data() + position, slash - position);
        position = slash + 1;
        if (component.empty())
            continue;
        const std::string directory = resolved;
        if (!resolved.empty() && resolved.back() != '/')
            resolved += '/';
        if (matching && component != "." && component != ".."
            && !EntryExists(resolved + std::string(component))) {
            std::string other = FindIgnoringCase(directory, component);
            matching = !other.empty();
            resolved += matching ? other : std::string(component);
        } else {
            resolved += component;
        }
    }
    if (native.back() == '/' && resolved.back() != '/')
        resolved += '/';
    return resolved;
}

ServerDirectory CheckServerDirectory(std::string_view path, std::string_view serverRoot)
{
    if (path.find('\\') != std::string_view::npos)
        return ServerDirectory::ForeignSeparator;
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return ServerDirectory::Missing;
    const std::string full
        = path.front() == '/' ? std::string(path) : NativePath(serverRoot) + "/" + std::string(path);
    std::error_code error;
    return fs::is_directory(full, error) ? ServerDirectory::Exists : ServerDirectory::Missing;
}

} // namespace larkspan
