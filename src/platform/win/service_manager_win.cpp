// Services through the service manager itself: its error codes say exactly why a command was
// refused, in every language, and its status says when a stop has finished.
#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/background_tasks.h"
#include "platform/service_manager.h"
#include "platform/win/program_path_win.h"
#include "texts/catalogue.h"

#include <windows.h>

#include <algorithm>
#include <objbase.h>
#include <shellapi.h>
#include <thread>

namespace larkspan {

namespace {

using Clock = std::chrono::steady_clock;
using Outcome = ServiceAnswer::Outcome;

constexpr std::chrono::milliseconds kPollInterval(200);

class ServiceHandle final
{
public:
    explicit ServiceHandle(SC_HANDLE handle)
        : m_handle(handle)
    { }
    ~ServiceHandle()
    {
        if (m_handle != nullptr)
            ::CloseServiceHandle(m_handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return m_handle; }

private:
    SC_HANDLE m_handle;
};

ServiceAnswer FromError(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return {Outcome::Denied, SystemErrorText(error)};
    case ERROR_CANCELLED:
        return {Outcome::Refused, SystemErrorText(error)};
    default:
        return {Outcome::Failed, SystemErrorText(error)};
    }
}

// Why a service that was to start has stopped: its own exit code, as it reported it.
std::string StoppedReason(const SERVICE_STATUS_PROCESS& status)
{
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
        return SystemErrorText(ERROR_SERVICE_SPECIFIC_ERROR) + " ("
            + std::to_string(status.dwServiceSpecificExitCode) + ")";
    if (status.dwWin32ExitCode != NO_ERROR)
        return SystemErrorText(status.dwWin32ExitCode);
    return std::string(catalogue::kServiceStoppedAgain);
}

bool Waited(Clock::time_point deadline, const std::stop_token& stop)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || stop.stop_requested())
        return false;
    std::this_thread::sleep_for(std::min(left, kPollInterval));
    return true;
}

// Follows the service until it is where `action` takes it, it has failed, or the time is up.
ServiceAnswer Follow(
    SC_HANDLE service, ServiceAction action, Clock::time_point deadline, const std::stop_token& stop)
{
    do {
        SERVICE_STATUS_PROCESS status {};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(
                service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status), sizeof status, &needed))
            return FromError(::GetLastError());
        if (status.dwCurrentState == (action == ServiceAction::Start ? SERVICE_RUNNING : SERVICE_STOPPED))
            return {Outcome::Done, {}};
        if (action == ServiceAction::Start && status.dwCurrentState == SERVICE_STOPPED)
            return {Outcome::Failed, StoppedReason(status)};
    } while (Waited(deadline, stop));
    return {Outcome::TimedOut, {}};
}

ServiceAnswer Control(
    ServiceAction action, const std::wstring& name, Clock::time_point deadline, const std::stop_token& stop)
{
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.get() == nullptr)
        return FromError(::GetLastError());
    // Only the rights this command needs: a user may be allowed to start a service and not more.
    const DWORD access
        = SERVICE_QUERY_STATUS | (action == ServiceAction::Start ? SERVICE_START : SERVICE_STOP);
    const ServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), access));
    if (service.get() == nullptr)
        return FromError(::GetLastError());
    if (action == ServiceAction::Start) {
        if (!::StartServiceW(service.get(), 0, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_SERVICE_ALREADY_RUNNING)
                return FromError(error);
        }
    } else {
        SERVICE_STATUS status {};
        if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_SERVICE_NOT_ACTIVE)
                return {Outcome::Done, {}};
            // A service that is stopping already takes no second stop; it is followed all the same.
            if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || status.dwCurrentState != SERVICE_STOP_PENDING)
                return FromError(error);
        }
    }
    return Follow(service.get(), action, deadline, stop);
}

// The same command through the system's net, run as administrator after the consent prompt. Its
// own words stay in its hidden console; the service manager says afterwards where the service is.
ServiceAnswer ControlElevated(ServiceAction action, const std::wstring& name, std::chrono::milliseconds limit,
    const std::stop_token& stop)
{
    const std::wstring system = SystemFolder();
    const std::wstring net = system + L"\\net.exe";
    const std::wstring parameters
        = (action == ServiceAction::Start ? L"start \"" : L"stop \"") + name + L"\"";
    SHELLEXECUTEINFOW execute {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"runas";
    execute.lpFile = net.c_str();
    execute.lpParameters = parameters.c_str();
    execute.lpDirectory = system.c_str();
    execute.nShow = SW_HIDE;
    // The shell wants a single-threaded apartment on the thread that asks it.
    const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const BOOL executed = ::ShellExecuteExW(&execute);
    const DWORD error = ::GetLastError();
    if (SUCCEEDED(initialised))
        ::CoUninitialize();
    if (!executed)
        return FromError(error);
    // Counted from the user's consent, which may take a while.
    const auto deadline = Clock::now() + limit;
    const UniqueHandle process(execute.hProcess);
    DWORD exitCode = 0;
    if (process.valid()) {
        while (::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            if (!Waited(deadline, stop))
                return {Outcome::TimedOut, {}};
        }
        ::GetExitCodeProcess(process.get(), &exitCode);
    }

    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(manager.get() != nullptr
            ? ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS)
            : nullptr);
    if (service.get() == nullptr)
        return exitCode == 0 ? ServiceAnswer {Outcome::Done, {}} : FromError(::GetLastError());
    ServiceAnswer answer = Follow(service.get(), action, exitCode == 0 ? deadline : Clock::now(), stop);
    if (answer.outcome == Outcome::TimedOut && exitCode != 0)
        return {Outcome::Failed, catalogue::ProgramExitCode("net", static_cast<int>(exitCode))};
    return answer;
}

class WindowsServiceManager final : public ServiceManager
{
public:
    explicit WindowsServiceManager(BackgroundTasks::Post post)
        : m_tasks(std::move(post))
    { }

    bool CanElevate() const override { return true; }

    void Run(ServiceAction action, const std::string& name, bool elevated, std::chrono::milliseconds limit,
        std::function<void(const ServiceAnswer&)> done) override
    {
        const std::optional<std::wstring> wide = WideFromUtf8(name);
        if (!wide) {
            m_tasks.RunLater([done] { done(FromError(ERROR_NO_UNICODE_TRANSLATION)); });
            return;
        }
        const Status started = m_tasks.Start(
            [=](std::stop_token stop) {
                return elevated ? ControlElevated(action, *wide, limit, stop)
                                : Control(action, *wide, Clock::now() + limit, stop);
            },
            [done](const ServiceAnswer& answer) { done(answer); });
        if (!started.ok())
            m_tasks.RunLater([done] { done(FromError(ERROR_NOT_ENOUGH_MEMORY)); });
    }

private:
    BackgroundTasks m_tasks;
};

} // namespace

std::unique_ptr<ServiceManager> MakeSystemServiceManager(
    std::string /*appDir*/, std::string /*logFile*/, std::function<void(std::function<void()>)> post)
{
    return std::make_unique<WindowsServiceManager>(std::move(post));
}

} // namespace larkspan
