#include "app/status_rules.h"

#include "platform/process_list.h"

namespace larkspan {

namespace {

constexpr Rgb kRunningColour {0, 192, 0};
constexpr Rgb kStoppedColour {255, 0, 0};

} // namespace

ServicePresentation PresentationFor(ServiceKind kind, ServiceState state)
{
    const ServiceInfo& info = Info(kind);
    if (state == Running)
        return {"●", kRunningColour, info.runningToolTip, info.runningSpoken, false, true};
    return {"■", kStoppedColour, info.stoppedToolTip, info.stoppedSpoken, true, false};
}

StatusMonitor::StatusMonitor(ProcessList& processes, View view)
    : m_processes(processes)
    , m_view(std::move(view))
{ }

ServiceState StatusMonitor::Observe(ServiceKind kind)
{
    const ServiceState state = StateFromCount(m_processes.CountProcesses(Info(kind).processName));
    m_view.showServiceState(kind, state);
    return state;
}

void StatusMonitor::Announce(ServiceKind kind, ServiceState state)
{
    m_announced[Index(kind)] = state;
    const ServiceInfo& info = Info(kind);
    m_view.appendLogLine(state == Running ? info.runningMessage : info.stoppedMessage);
}

void StatusMonitor::Probe()
{
    for (const ServiceKind kind : kAllServiceKinds) {
        const ServiceState state = Observe(kind);
        Announce(kind, state);
        if (m_view.observed)
            m_view.observed(kind, state);
    }
}

void StatusMonitor::Tick()
{
    for (const ServiceKind kind : kAllServiceKinds) {
        const ServiceState state = Observe(kind);
        if (state != m_announced[Index(kind)])
            Announce(kind, state);
        if (m_view.observed)
            m_view.observed(kind, state);
    }
}

} // namespace larkspan
