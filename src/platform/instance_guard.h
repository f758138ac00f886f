#pragma once

#include <memory>
#include <string>

namespace larkspan {

/// Recognises an instance of the program that is already running.
class InstanceGuard
{
public:
    virtual ~InstanceGuard() = default;
    /// Claims the single-instance lock for this process. Returns false when another running
    /// instance holds it. The lock is released by the OS when the process ends, crash included.
    virtual bool TryAcquire() = 0;
};

/// A lock named after `name`, in $XDG_RUNTIME_DIR or the temporary directory.
std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string name);

} // namespace larkspan
