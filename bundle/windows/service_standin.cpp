// Stand-in for a bundle server on Windows (built as httpd.exe and as mysqld-nt.exe): a service that
// does nothing but run until the service manager stops it, so that "net start Apache2" and
// "net stop MySQL" have a process to start and end and the panel's monitor a name to count.
//
// It registers and removes itself with the service manager by the servers' own command lines, as the
// installer runs them:
//   httpd.exe -k install -n Apache2          httpd.exe -k uninstall -n Apache2
//   mysqld-nt.exe --install MySQL --defaults-file=C:\bundle\MySQL\my.ini
//   mysqld-nt.exe --remove MySQL
// Any other command line is the service itself, started by the service manager.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopRequested = nullptr;
DWORD g_checkPoint = 0;

void Report(DWORD state, DWORD exitCode = NO_ERROR)
{
    SERVICE_STATUS status {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwWin32ExitCode = exitCode;
    // Only a running service takes a stop; pending states promise progress within the hint.
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? ++g_checkPoint : 0;
    status.dwWaitHint = pending ? 3000 : 0;
    ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD /*eventType*/, LPVOID /*eventData*/, LPVOID /*context*/)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        // Stop pending until the service thread has let go: "net stop" waits for the stopped state.
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(g_stopRequested);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* argv)
{
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(argv[0], Control, nullptr);
    if (g_statusHandle == nullptr)
        return;
    Report(SERVICE_START_PENDING);
    g_stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stopRequested == nullptr) {
        Report(SERVICE_STOPPED, ::GetLastError());
        return;
    }
    Report(SERVICE_RUNNING);
    ::WaitForSingleObject(g_stopRequested, INFINITE);
    ::CloseHandle(g_stopRequested);
    // The last report: the manager may end the process as soon as it has it.
    Report(SERVICE_STOPPED);
}

int RunAsService()
{
    // One service per process: the manager passes the registered name to ServiceMain.
    wchar_t anyName[] = L"";
    const SERVICE_TABLE_ENTRYW services[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(services))
        return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
        std::fputs(
            "This is a stand-in for a bundle server: it runs only as a service. Register it with\n"
            "  httpd.exe -k install -n NAME   or   mysqld-nt.exe --install NAME --defaults-file=FILE\n",
            stderr);
    else
        std::fprintf(stderr, "StartServiceCtrlDispatcher failed: error %lu\n", error);
    return 1;
}

struct Registration
{
    enum class Action { Install, Remove } action;
    enum class Style { Apache, MySql } style;
    std::wstring name;
    std::wstring defaultsFile;
};

// The registration the command line asks for, if it asks for one.
std::optional<Registration> ParseRegistration(int argc, wchar_t** argv)
{
    std::optional<Registration> found;
    std::wstring apacheAction;
    std::wstring apacheName;
    std::wstring defaultsFile;
    for (int index = 1; index < argc; ++index) {
        const std::wstring argument = argv[index];
        const bool hasValue = index + 1 < argc;
        if (argument == L"-k" && hasValue) {
            apacheAction = argv[++index];
        } else if (argument == L"-n" && hasValue) {
            apacheName = argv[++index];
        } else if (argument == L"--install" || argument == L"--remove") {
            found = Registration {
                argument == L"--install" ? Registration::Action::Install : Registration::Action::Remove,
                Registration::Style::MySql, L"MySQL", {}};
            // The service name is optional and comes right after the action.
            if (hasValue && std::wcsncmp(argv[index + 1], L"--", 2) != 0)
                found->name = argv[++index];
        } else if (argument.rfind(L"--defaults-file=", 0) == 0) {
            defaultsFile = argument.substr(std::wcslen(L"--defaults-file="));
        }
    }
    if (found) {
        found->defaultsFile = defaultsFile;
        return found;
    }
    if (apacheAction == L"install" || apacheAction == L"uninstall")
        return Registration {
            apacheAction == L"install" ? Registration::Action::Install : Registration::Action::Remove,
            Registration::Style::Apache, apacheName.empty() ? L"Apache2" : apacheName, {}};
    return std::nullopt;
}

std::wstring ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length > 0 ? std::wstring(text, length) : L"error " + std::to_wstring(error);
    ::LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

// A closing handle of the service manager.
struct ServiceHandle
{
    SC_HANDLE handle;
    ~ServiceHandle()
    {
        if (handle != nullptr)
            ::CloseServiceHandle(handle);
    }
};

// Each failure is told as the real servers tell it: Apache with the OS error and its AH code, MySQL in
// its own words. Both end with status 1.
int Fail(const Registration& registration, DWORD error)
{
    if (registration.style == Registration::Style::Apache) {
        const bool install = registration.action == Registration::Action::Install;
        std::fwprintf(stderr, L"(OS %lu)%ls  : %ls Failed to %ls the '%ls' service.\n", error,
            ErrorText(error).c_str(), install ? L"AH00369:" : L"AH00373:", install ? L"create" : L"remove",
            registration.name.c_str());
    } else if (error == ERROR_ACCESS_DENIED) {
        std::fputws(L"Install/Remove of the Service Denied!\n", stderr);
    } else if (error == ERROR_SERVICE_EXISTS) {
        std::fputws(L"The service already exists!\n", stderr);
    } else if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
        std::fputws(L"The service doesn't exist!\n", stderr);
    } else {
        std::fwprintf(stderr, L"Failed to %ls the service: %ls\n",
            registration.action == Registration::Action::Install ? L"install" : L"remove",
            ErrorText(error).c_str());
    }
    return 1;
}

int Register(const Registration& registration)
{
    const bool apache = registration.style == Registration::Style::Apache;
    if (apache)
        std::fwprintf(stdout, L"%ls the '%ls' service\n",
            registration.action == Registration::Action::Install ? L"Installing" : L"Removing",
            registration.name.c_str());
    std::fflush(stdout);

    const ServiceHandle manager {::OpenSCManagerW(nullptr, nullptr,
        registration.action == Registration::Action::Install ? SC_MANAGER_CREATE_SERVICE
                                                             : SC_MANAGER_CONNECT)};
    if (manager.handle == nullptr)
        return Fail(registration, ::GetLastError());

    if (registration.action == Registration::Action::Remove) {
        const ServiceHandle service {::OpenServiceW(manager.handle, registration.name.c_str(), DELETE)};
        if (service.handle == nullptr || !::DeleteService(service.handle))
            return Fail(registration, ::GetLastError());
        if (apache)
            std::fwprintf(
                stdout, L"The '%ls' service has been removed successfully.\n", registration.name.c_str());
        else
            std::fputws(L"Service successfully removed.\n", stdout);
        return 0;
    }

    wchar_t self[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    if (length == 0 || length == std::size(self))
        return Fail(registration, length == 0 ? ::GetLastError() : ERROR_INSUFFICIENT_BUFFER);
    // The command lines the real servers register: Apache runs as "-k runservice", MySQL reads the
    // option file named at registration and takes its service name last.
    std::wstring commandLine = L"\"" + std::wstring(self, length) + L"\"";
    if (apache)
        commandLine += L" -k runservice";
    else if (!registration.defaultsFile.empty())
        commandLine += L" --defaults-file=\"" + registration.defaultsFile + L"\" " + registration.name;
    else
        commandLine += L" " + registration.name;
    const ServiceHandle service {::CreateServiceW(manager.handle, registration.name.c_str(),
        registration.name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr)};
    if (service.handle == nullptr)
        return Fail(registration, ::GetLastError());
    if (apache)
        std::fwprintf(stdout, L"The '%ls' service is successfully installed.\n", registration.name.c_str());
    else
        std::fputws(L"Service successfully installed.\n", stdout);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (const std::optional<Registration> registration = ParseRegistration(argc, argv))
        return Register(*registration);
    return RunAsService();
}
