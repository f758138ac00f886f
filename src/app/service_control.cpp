// Placeholder until service control lands.
#include "service_control.h"

namespace larkspan {

ServiceControl::ServiceControl(Launcher& launcher, MessageBoxes& messages, Hooks hooks)
    : m_launcher(launcher)
    , m_messages(messages)
    , m_hooks(std::move(hooks))
{
}

void ServiceControl::Start(ServiceKind) { }
void ServiceControl::Stop(ServiceKind) { }
void ServiceControl::Restart(ServiceKind) { }

} // namespace larkspan
