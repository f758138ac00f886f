#pragma once

#include "app/service_kind.h"

namespace larkspan {

/// Told about each service command, so that what follows it can be explained in the log.
class ServiceCommandObserver
{
public:
    virtual ~ServiceCommandObserver() = default;
    /// Just before a start command is launched.
    virtual void BeforeStart(ServiceKind kind) = 0;
    /// After a start command was launched and logged.
    virtual void StartLaunched(ServiceKind kind) = 0;
    /// After a stop command was launched and logged.
    virtual void StopLaunched(ServiceKind kind) = 0;
};

} // namespace larkspan
