// A program for the Windows platform tests to start:
//   sleep MILLISECONDS        waits, then exits (copied to server image names for the process count)
//   probe FILE                writes how it was started to FILE: its window style, then its arguments
//   echo TEXT                 writes TEXT to its standard output and error
//   guard NAME MILLISECONDS   claims the single-instance guard NAME: exit 0 and hold it, or exit 3
//   appdir FILE               writes the folder it runs from to FILE
//   cwd                       writes its working directory to its standard output
//   args ...                  writes each further argument in brackets, one a line
//   console-text              writes "拒绝访问。" in GBK and a UTF-8 path, as net and Apache do
//   print TEXT                writes TEXT through WriteToConsole
//   exit CODE                 exits with CODE (-1 as exit(-1) does)
//   crash                     ends by an access violation
//   hold FILE SHARE MS        opens FILE sharing SHARE (FILE_SHARE_* bits), says "held", waits MS
//   service [EXIT]            runs as a service until stopped, or stops at once with service-specific
//                             exit code EXIT
//   leave CODE                starts a sleeper that holds its output, prints the sleeper's pid
//                             and exits with CODE, after a fatal error when CODE is not 0
#include "config/win/wide_text.h"
#include "platform/app_dir.h"
#include "platform/console.h"
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

SERVICE_STATUS_HANDLE g_service = nullptr;
HANDLE g_stop = nullptr;
DWORD g_serviceExit = 0;

void Report(DWORD state, DWORD specificExit = 0)
{
    SERVICE_STATUS status {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWin32ExitCode = specificExit != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    status.dwServiceSpecificExitCode = specificExit;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? 5000 : 0;
    ::SetServiceStatus(g_service, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPWSTR* argv)
{
    g_service = ::RegisterServiceCtrlHandlerExW(argv[0], Control, nullptr);
    if (g_serviceExit != 0) {
        // A server that fails while it starts.
        Report(SERVICE_START_PENDING);
        ::Sleep(300);
        Report(SERVICE_STOPPED, g_serviceExit);
        return;
    }
    g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(g_stop, INFINITE);
    // A server that takes a while to stop.
    ::Sleep(1500);
    Report(SERVICE_STOPPED);
}

int RunService(const std::vector<std::string>& arguments)
{
    g_serviceExit = arguments.size() > 2 ? static_cast<DWORD>(std::stoul(arguments[2])) : 0;
    wchar_t anyName[] = L"";
    const SERVICE_TABLE_ENTRYW services[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(services) ? 0 : 1;
}

int Hold(const std::vector<std::string>& arguments)
{
    const std::wstring name = larkspan::WideFromUtf8(arguments[2]).value_or(L"");
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ,
        static_cast<DWORD>(std::stoul(arguments[3])), nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    WriteLine(STD_OUTPUT_HANDLE, "held");
    ::Sleep(static_cast<DWORD>(std::stoul(arguments[4])));
    ::CloseHandle(file);
    return 0;
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
    if (mode == "cwd") {
        wchar_t folder[MAX_PATH * 4] {};
        ::GetCurrentDirectoryW(MAX_PATH * 4, folder);
        WriteLine(STD_OUTPUT_HANDLE, larkspan::Utf8FromWide(folder));
        return 0;
    }
    if (mode == "args") {
        for (std::size_t i = 2; i < arguments.size(); ++i)
            WriteLine(STD_OUTPUT_HANDLE, "[" + arguments[i] + "]");
        return 0;
    }
    if (mode == "console-text") {
        WriteLine(STD_ERROR_HANDLE, "\xBE\xDC\xBE\xF8\xB7\xC3\xCE\xCA\xA1\xA3");
        WriteLine(STD_ERROR_HANDLE, "D:/\xE7\xBD\x91\xE7\xAB\x99/httpd.conf");
        return 0;
    }
    if (mode == "print" && arguments.size() > 2) {
        if (!larkspan::AttachToParentConsole())
            return 2;
        larkspan::WriteToConsole(larkspan::ConsoleStream::Output, arguments[2] + "\n");
        return 0;
    }
    if (mode == "exit" && arguments.size() > 2)
        ::ExitProcess(static_cast<UINT>(std::stoll(arguments[2])));
    if (mode == "crash")
        ::RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (mode == "hold" && arguments.size() > 4)
        return Hold(arguments);
    if (mode == "service")
        return RunService(arguments);
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
