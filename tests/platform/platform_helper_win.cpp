// A program for the Windows platform tests to start:
//   sleep MILLISECONDS        waits, then exits (copied to server image names for the process count)
//   probe FILE                writes how it was started to FILE: its window style, then its arguments
//   echo TEXT                 writes TEXT to its standard output and error
//   guard NAME MILLISECONDS   claims the single-instance guard NAME: exit 0 and hold it, or exit 3
//   appdir FILE               writes the folder it runs from to FILE
//   leave CODE                starts a sleeper that holds its output, prints the sleeper's pid
//                             and exits with CODE, after a fatal error when CODE is not 0
#include "config/win/wide_text.h"
#include "platform/app_dir.h"
#include "platform/instance_guard.h"

#include <windows.h>

#include <shellapi.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Arguments()
{
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(larkspan::Utf8FromWide(words[i]));
    ::LocalFree(words);
    return arguments;
}

// Straight to the handle: the C runtime's text mode would turn the line end into CR LF.
void WriteLine(DWORD which, const std::string& text)
{
    const std::string line = text + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(which), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Written whole, then renamed: the test reads the report as soon as it exists.
int WriteReport(const std::string& file, const std::string& report)
{
    const std::wstring name = larkspan::WideFromUtf8(file).value_or(L"");
    const std::wstring partial = name + L".partial";
    HANDLE out = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    ::WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    ::CloseHandle(out);
    return ::MoveFileExW(partial.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
}

int Probe(const std::vector<std::string>& arguments)
{
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    std::string report
        = std::to_string((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1) + "\n";
    for (std::size_t i = 3; i < arguments.size(); ++i)
        report += arguments[i] + "\n";
    return WriteReport(arguments[2], report);
}

// The sleeper is detached from the console, in a process group of its own: as far from its parent
// as a program can start one while inheriting its output.
int Leave(const std::vector<std::string>& arguments)
{
    const int code = std::stoi(arguments[2]);
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" sleep 60000";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process {};
    if (!::CreateProcessW(self, line.data(), nullptr, nullptr, TRUE,
            DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
        return 2;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    WriteLine(STD_OUTPUT_HANDLE, std::to_string(process.dwProcessId));
    if (code != 0)
        WriteLine(STD_ERROR_HANDLE, "PHP Fatal error: Unknown: bad value");
    return code;
}

} // namespace

int main()
{
    const std::vector<std::string> arguments = Arguments();
    const std::string mode = arguments.size() > 1 ? arguments[1] : "";
    if (mode == "sleep" && arguments.size() > 2) {
        ::Sleep(static_cast<DWORD>(std::stoul(arguments[2])));
        return 0;
    }
    if (mode == "probe" && arguments.size() > 2)
        return Probe(arguments);
    if (mode == "leave" && arguments.size() > 2)
        return Leave(arguments);
    if (mode == "appdir" && arguments.size() > 2)
        return WriteReport(arguments[2], larkspan::ExecutableDirectory());
    if (mode == "echo" && arguments.size() > 2) {
        WriteLine(STD_OUTPUT_HANDLE, "out: " + arguments[2]);
        WriteLine(STD_ERROR_HANDLE, "err: " + arguments[2]);
        return 0;
    }
    if (mode == "guard" && arguments.size() > 3) {
        const auto guard = larkspan::MakeSystemInstanceGuard(arguments[2]);
        if (guard->TryAcquire().outcome != larkspan::InstanceClaim::Outcome::Acquired)
            return 3;
        WriteLine(STD_OUTPUT_HANDLE, "acquired");
        ::Sleep(static_cast<DWORD>(std::stoul(arguments[3])));
        return 0;
    }
    return 1;
}
