#pragma once

#include "app/service_kind.h"

namespace larkspan {

/// Told about each service command, so that what follows it can be explained in the log.
class ServiceCommandObserver
{
public:
    virtual ~ServiceCommandObserver() = default;
    /// Just before a start command is issued.
    virtual void BeforeStart(ServiceKind kind) = 0;
    /// After a start command was issued and logged.
    virtual void StartLaunched(ServiceKind kind) = 0;
    /// After a stop command was issued and logged.
    virtual void StopLaunched(ServiceKind kind) = 0;
    /// The start command has ended without the server running, and the reason is logged; with
    /// `explain`, the server may have said why in its own logs.
    virtual void StartFailed(ServiceKind kind, bool explain) = 0;
};

} // namespace larkspan
