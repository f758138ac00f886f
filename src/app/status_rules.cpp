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

std::array<ServiceState, kAllServiceKinds.size()> StatusMonitor::Observe()
{
    std::array<std::string_view, kAllServiceKinds.size()> names;
    for (const ServiceKind kind : kAllServiceKinds)
        names[ServiceIndex(kind)] = Info(kind).processName;
    std::array<int, kAllServiceKinds.size()> counts {};
    m_processes.CountEach(names, counts);
    std::array<ServiceState, kAllServiceKinds.size()> states {};
    for (const ServiceKind kind : kAllServiceKinds)
        states[ServiceIndex(kind)] = StateFromCount(counts[ServiceIndex(kind)]);
    return states;
}

void StatusMonitor::Announce(ServiceKind kind, ServiceState state)
{
    m_announced[ServiceIndex(kind)] = state;
    const ServiceInfo& info = Info(kind);
    m_view.appendLogLine(state == Running ? info.runningMessage : info.stoppedMessage);
}

void StatusMonitor::Probe()
{
    const auto states = Observe();
    for (const ServiceKind kind : kAllServiceKinds) {
        const ServiceState state = states[ServiceIndex(kind)];
        m_view.showServiceState(kind, state);
        Announce(kind, state);
        if (m_view.observed)
            m_view.observed(kind, state);
    }
}

void StatusMonitor::Tick()
{
    const auto states = Observe();
    for (const ServiceKind kind : kAllServiceKinds) {
        const ServiceState state = states[ServiceIndex(kind)];
        m_view.showServiceState(kind, state);
        if (state != m_announced[ServiceIndex(kind)])
            Announce(kind, state);
        if (m_view.observed)
            m_view.observed(kind, state);
    }
}

} // namespace larkspan
