#include "app/service_control.h"

#include <string>

namespace larkspan {
namespace {

// How long a restart leaves the server before starting it again, measured from the stop command.
constexpr double kRestartPauseSeconds = 5.0;

Command ServiceCommand(const char* verb, ServiceKind kind)
{
    return Command {"net", {Argument::literal(verb), Argument::literal(std::string(Info(kind).serviceName))}};
}

// A service command that cannot be started ends the calling command; the user learns which program.
bool LaunchHidden(Launcher& launcher, MessageBoxes& messages, const Command& command)
{
    const Status status = launcher.LaunchProgram(command, WindowStyle::Hidden);
    if (!status.ok())
        messages.Inform(status.message());
    return status.ok();
}

} // namespace

ServiceControl::ServiceControl(Launcher& launcher, MessageBoxes& messages, Hooks hooks)
    : m_launcher(launcher)
    , m_messages(messages)
    , m_hooks(std::move(hooks))
{ }

bool ServiceControl::IssueStart(ServiceKind kind)
{
    if (m_hooks.observer)
        m_hooks.observer->BeforeStart(kind);
    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("start", kind)))
        return false;
    m_hooks.appendLogLine(Info(kind).startingMessage);
    if (m_hooks.observer)
        m_hooks.observer->StartLaunched(kind);
    return true;
}

bool ServiceControl::IssueStop(ServiceKind kind)
{
    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("stop", kind)))
        return false;
    m_hooks.appendLogLine(Info(kind).stoppingMessage);
    if (m_hooks.observer)
        m_hooks.observer->StopLaunched(kind);
    return true;
}

void ServiceControl::Start(ServiceKind kind)
{
    IssueStart(kind);
}

void ServiceControl::Stop(ServiceKind kind)
{
    IssueStop(kind);
}

void ServiceControl::Restart(ServiceKind kind)
{
    if (!IssueStop(kind))
        return;

    // The window stays responsive: timer ticks and other commands run inside the pause.
    const double pauseStart = m_hooks.now();
    do {
        m_hooks.processEventsOnce();
    } while (m_hooks.now() - pauseStart < kRestartPauseSeconds);

    IssueStart(kind);
}

} // namespace larkspan
