// Services through Windows' service manager, under Wine as on Windows: the helper registered as a
// service of its own for the test. Wine enforces no rights, so the refusals are the fakes' part.
#include "config/win/wide_text.h"
#include "platform/service_manager.h"
#include "support/test_support_win.h"

#include <future>
#include <gtest/gtest.h>
#include <ostream>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
using Outcome = ServiceAnswer::Outcome;

/// A service running the helper with `arguments`, removed with the object.
class TestService final
{
public:
    TestService(const std::string& name, const std::string& arguments)
        : m_name(WideFromUtf8(name).value())
    {
        m_manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        const std::wstring command
            = L"\"" + WideFromUtf8(test::HelperProgram()).value() + L"\" " + WideFromUtf8(arguments).value();
        if (m_manager != nullptr)
            m_service = ::CreateServiceW(m_manager, m_name.c_str(), m_name.c_str(), SERVICE_ALL_ACCESS,
                SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(),
                nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    ~TestService()
    {
        if (m_service != nullptr) {
            SERVICE_STATUS status {};
            ::ControlService(m_service, SERVICE_CONTROL_STOP, &status);
            test::Eventually([&] { return State() == SERVICE_STOPPED; }, 10s);
            ::DeleteService(m_service);
            ::CloseServiceHandle(m_service);
        }
        if (m_manager != nullptr)
            ::CloseServiceHandle(m_manager);
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool made() const { return m_service != nullptr; }
    DWORD State() const
    {
        SERVICE_STATUS status {};
        return ::QueryServiceStatus(m_service, &status) ? status.dwCurrentState : 0;
    }

private:
    std::wstring m_name;
    SC_HANDLE m_manager = nullptr;
    SC_HANDLE m_service = nullptr;
};

} // namespace

// A failed comparison shows the outcome and the reason, not the object's bytes.
void PrintTo(const ServiceAnswer& answer, std::ostream* out)
{
    *out << "{outcome " << static_cast<int>(answer.outcome) << ", \"" << answer.reason << "\"}";
}

namespace {

// Runs a command and waits for its answer, posted back as a window's event loop would run it.
ServiceAnswer Answer(ServiceManager& manager, ServiceAction action, const std::string& name,
    std::chrono::milliseconds limit = 20s, bool elevated = false)
{
    auto answer = std::make_shared<std::promise<ServiceAnswer>>();
    manager.Run(
        action, name, elevated, limit, [answer](const ServiceAnswer& given) { answer->set_value(given); });
    auto future = answer->get_future();
    if (future.wait_for(60s) != std::future_status::ready)
        return {Outcome::Failed, "no answer"};
    return future.get();
}

TEST(WindowsServiceManager, StartsAndStopsAndSaysWhyNot)
{
    const std::string suffix = std::to_string(::GetCurrentProcessId());
    const std::string name = "LarkspanTest" + suffix;
    const std::string failing = "LarkspanTestFailing" + suffix;
    TestService service(name, "service");
    TestService broken(failing, "service 7");
    ASSERT_TRUE(service.made() && broken.made()) << SystemErrorText(::GetLastError());

    const auto manager = MakeSystemServiceManager("", "", [](std::function<void()> task) { task(); });
    EXPECT_TRUE(manager->CanElevate());

    EXPECT_EQ(Answer(*manager, ServiceAction::Start, name), (ServiceAnswer {Outcome::Done, {}}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
    // Starting a running service, stopping a stopped one: what was asked for is so.
    EXPECT_EQ(Answer(*manager, ServiceAction::Start, name), (ServiceAnswer {Outcome::Done, {}}));
    // The helper takes a moment and a half to stop; the answer comes once it has.
    EXPECT_EQ(Answer(*manager, ServiceAction::Stop, name), (ServiceAnswer {Outcome::Done, {}}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(Answer(*manager, ServiceAction::Stop, name), (ServiceAnswer {Outcome::Done, {}}));

    // As administrator, through the system's net after its consent prompt (which Wine does not
    // show): the service manager then says where the service is.
    EXPECT_EQ(Answer(*manager, ServiceAction::Start, name, 20s, true), (ServiceAnswer {Outcome::Done, {}}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Answer(*manager, ServiceAction::Stop, name, 20s, true), (ServiceAnswer {Outcome::Done, {}}));
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));

    const ServiceAnswer quick = [&] {
        EXPECT_EQ(Answer(*manager, ServiceAction::Start, name).outcome, Outcome::Done);
        return Answer(*manager, ServiceAction::Stop, name, 300ms);
    }();
    EXPECT_EQ(quick.outcome, Outcome::TimedOut);

    const ServiceAnswer missing = Answer(*manager, ServiceAction::Start, "LarkspanNoSuchService");
    EXPECT_EQ(missing, (ServiceAnswer {Outcome::Failed, SystemErrorText(ERROR_SERVICE_DOES_NOT_EXIST)}));

    const ServiceAnswer failed = Answer(*manager, ServiceAction::Start, failing);
    EXPECT_EQ(failed.outcome, Outcome::Failed);
    EXPECT_NE(failed.reason.find("(7)"), std::string::npos) << failed.reason;
}

} // namespace
} // namespace larkspan
