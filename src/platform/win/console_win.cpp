// A GUI program's answers on the command line: cmd.exe does not wait for it, and gives it no
// console of its own, so it writes into the one it was started from.
#include "config/win/wide_text.h"
#include "platform/console.h"
#include "platform/text_code_page.h"

#include <windows.h>

namespace larkspan {

namespace {

bool Leads(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The standard handle of `stream`, or the console's own when the program was given none.
HANDLE HandleFor(ConsoleStream stream)
{
    const HANDLE handle
        = ::GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (Leads(handle))
        return handle;
    static const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return console;
}

} // namespace

bool AttachToParentConsole()
{
    static const bool attached = [] {
        // Output redirected to a file or a pipe goes there.
        if (Leads(::GetStdHandle(STD_OUTPUT_HANDLE)) && Leads(::GetStdHandle(STD_ERROR_HANDLE)))
            return true;
        return ::AttachConsole(ATTACH_PARENT_PROCESS) != 0 || ::GetLastError() == ERROR_ACCESS_DENIED;
    }();
    return attached;
}

void WriteToConsole(ConsoleStream stream, std::string_view utf8)
{
    const HANDLE handle = HandleFor(stream);
    if (!Leads(handle))
        return;
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(handle, &mode)) {
        // A console shows every character, whatever its code page.
        if (const std::optional<std::wstring> wide = WideFromUtf8(utf8))
            ::WriteConsoleW(handle, wide->data(), static_cast<DWORD>(wide->size()), &written, nullptr);
        return;
    }
    // Redirected: bytes as console programs write them, for whatever reads them (more, findstr).
    const std::optional<std::string> bytes = MakeConsoleTextCodePage()->Encode(utf8);
    const std::string_view text = bytes ? std::string_view(*bytes) : utf8;
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace larkspan
