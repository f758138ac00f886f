#pragma once

#include "app/service_command_observer.h"
#include "app/service_kind.h"
#include "platform/launcher.h"
#include "ui/message_boxes.h"

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
        /// Optional.
        ServiceCommandObserver* observer = nullptr;
    };

    ServiceControl(Launcher& launcher, MessageBoxes& messages, Hooks hooks);

    void Start(ServiceKind kind);
    void Stop(ServiceKind kind);
    void Restart(ServiceKind kind);

private:
    bool IssueStart(ServiceKind kind);
    bool IssueStop(ServiceKind kind);

    Launcher& m_launcher;
    MessageBoxes& m_messages;
    Hooks m_hooks;
};

} // namespace larkspan
