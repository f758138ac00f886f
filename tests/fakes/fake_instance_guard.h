#pragma once

#include "instance_guard.h"

namespace larkspan {

/// An instance guard that tests tell whether another instance runs.
class FakeInstanceGuard final : public InstanceGuard
{
public:
    bool TryAcquire() override
    {
        ++attempts;
        return !otherInstanceRuns;
    }

    bool otherInstanceRuns = false;
    int attempts = 0;
};

} // namespace larkspan
