#pragma once

#include "launcher.h"
#include "messages.h"
#include "service_kind.h"

#include <functional>
#include <string_view>

namespace larkspan {

/// Start, stop and restart of the two servers through the system's service commands
/// ("net start Apache2" ...). Commands only launch and log; the status monitor shows the outcome.
class ServiceControl final
{
public:
    struct Hooks
    {
        std::function<void(std::string_view)> appendLogLine;
        /// Processes the window's pending events once and returns (the restart pause).
        std::function<void()> processEventsOnce;
        /// Seconds on a monotonic clock; injectable so tests need not wait.
        std::function<double()> now;
    };

    ServiceControl(Launcher& launcher, MessageBoxes& messages, Hooks hooks);

    void Start(ServiceKind kind);
    void Stop(ServiceKind kind);
    void Restart(ServiceKind kind);

private:
    Launcher& m_launcher;
    MessageBoxes& m_messages;
    Hooks m_hooks;
};

} // namespace larkspan
