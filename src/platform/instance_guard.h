#pragma once

#include <memory>
#include <string>

namespace larkspan {

/// The outcome of claiming the single-instance lock.
struct InstanceClaim
{
    enum class Outcome {
        Acquired, ///< no other instance runs
        HeldByAnother, ///< another running instance holds the lock
        Unavailable, ///< no safe lock could be made: whether another instance runs is unknown
    };
    Outcome outcome = Outcome::Acquired;
    std::string problem; ///< for Unavailable: the folder or file and the reason
};

/// Recognises an instance of the program that is already running.
class InstanceGuard
{
public:
    virtual ~InstanceGuard() = default;
    /// Claims the single-instance lock for this process; claiming again keeps it. The lock is
    /// released by the OS when the process ends, crash included.
    virtual InstanceClaim TryAcquire() = 0;
};

/// A lock named after `name` in $XDG_RUNTIME_DIR, or without one in a private folder of the
/// user's in the temporary directory.
std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string name);

} // namespace larkspan
