#pragma once

#include "platform/instance_guard.h"

#include <string>

namespace larkspan {

/// An instance guard that tests tell whether another instance runs.
class FakeInstanceGuard final : public InstanceGuard
{
public:
    InstanceClaim TryAcquire() override
    {
        ++attempts;
        if (otherInstanceRuns)
            return {InstanceClaim::Outcome::HeldByAnother, {}};
        if (!problem.empty())
            return {InstanceClaim::Outcome::Unavailable, problem};
        return {};
    }

    bool otherInstanceRuns = false;
    std::string problem; ///< when set, no lock can be made, for this reason
    int attempts = 0;
};

} // namespace larkspan
