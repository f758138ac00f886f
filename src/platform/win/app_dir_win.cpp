#include "config/win/wide_text.h"
#include "platform/app_dir.h"

#include <windows.h>

namespace larkspan {

std::string ExecutableDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        // A full buffer means the name was cut short.
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return {};
    // The top of a drive keeps its backslash ("D:\"); any other folder has none.
    const bool driveTop = separator == 2 && path[1] == L':';
    path.resize(driveTop ? separator + 1 : separator);
    return Utf8FromWide(path);
}

} // namespace larkspan
