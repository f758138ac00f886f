#include "service_control.h"

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

void ServiceControl::Start(ServiceKind kind)
{
    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("start", kind)))
        return;
    m_hooks.appendLogLine(Info(kind).startingMessage);
}

void ServiceControl::Stop(ServiceKind kind)
{
    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("stop", kind)))
        return;
    m_hooks.appendLogLine(Info(kind).stoppingMessage);
}

void ServiceControl::Restart(ServiceKind kind)
{
    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("stop", kind)))
        return;
    m_hooks.appendLogLine(Info(kind).stoppingMessage);

    // The window stays responsive: timer ticks and other commands run inside the pause.
    const double pauseStart = m_hooks.now();
    do {
        m_hooks.processEventsOnce();
    } while (m_hooks.now() - pauseStart < kRestartPauseSeconds);

    if (!LaunchHidden(m_launcher, m_messages, ServiceCommand("start", kind)))
        return;
    m_hooks.appendLogLine(Info(kind).startingMessage);
}

} // namespace larkspan
