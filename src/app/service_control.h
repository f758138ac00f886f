#pragma once

#include "app/service_command_observer.h"
#include "app/service_kind.h"
#include "platform/service_manager.h"
#include "ui/message_boxes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace larkspan {

/// Start, stop and restart of the two servers as system services. Each command is logged when it
/// is issued and its outcome is followed: a command refused for want of rights is reported at once
/// with the remedy (and may be run again as administrator), one that failed or did not finish in
/// time is logged. The status monitor shows what the servers do.
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
        /// A log line that may be wider than the log (a reason in the system's words); optional,
        /// else appendLogLine.
        std::function<void(std::string_view)> appendLongLogLine = {};
    };

    ServiceControl(ServiceManager& services, MessageBoxes& messages, Hooks hooks);
    ~ServiceControl();
    ServiceControl(const ServiceControl&) = delete;
    ServiceControl& operator=(const ServiceControl&) = delete;

    void Start(ServiceKind kind);
    void Stop(ServiceKind kind);
    void Restart(ServiceKind kind);

private:
    using Then = std::function<void(const ServiceAnswer&)>;

    void IssueStart(ServiceKind kind, bool elevated);
    void IssueStop(ServiceKind kind, bool elevated, Then then);
    void StartAnswered(ServiceKind kind, bool elevated, const ServiceAnswer& answer);
    void StopAnswered(ServiceKind kind, bool elevated, const ServiceAnswer& answer);
    /// After a refusal for want of rights: whether the user wants `verb` run as administrator
    /// (asked only where the system can do that); otherwise tells the remedy.
    bool OfferElevation(std::string_view verb, ServiceKind kind, const ServiceAnswer& answer, bool elevated);
    /// Stops the server for a restart and processes events until the stop has ended and the
    /// restart's pause has passed; nothing when the stop did not end in time.
    std::optional<ServiceAnswer> StopForRestart(ServiceKind kind, bool elevated);
    void LogReason(std::string_view message);
    /// `then`, unless this object has gone by the time the answer comes.
    Then Guarded(Then then);

    ServiceManager& m_services;
    MessageBoxes& m_messages;
    Hooks m_hooks;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace larkspan
