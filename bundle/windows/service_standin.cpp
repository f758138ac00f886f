// Stand-in for a bundle server on Windows (built as httpd.exe and as mysqld-nt.exe): a service that
// does nothing but run until the service manager stops it, so that "net start Apache2" and
// "net stop MySQL" have a process to start and end and the panel's monitor a name to count.
// Registered with: sc create Apache2 binPath= C:\bundle\Apache2\bin\httpd.exe
#include <windows.h>

#include <cstdio>

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

} // namespace

int wmain()
{
    // One service per process: the manager passes the registered name to ServiceMain.
    wchar_t anyName[] = L"";
    const SERVICE_TABLE_ENTRYW services[] = {{anyName, ServiceMain}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(services))
        return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
        std::fputs("This is a stand-in for a bundle server: it runs only as a service, started by "
                   "\"net start\" once registered with \"sc create NAME binPath= PATH\".\n",
            stderr);
    else
        std::fprintf(stderr, "StartServiceCtrlDispatcher failed: error %lu\n", error);
    return 1;
}
