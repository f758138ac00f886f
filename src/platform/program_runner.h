#pragma once

#include "platform/capturing_runner.h"
#include "platform/command.h"

#include <chrono>
#include <functional>
#include <string>

namespace larkspan {

/// Runs a program to its end without blocking the caller; it reports as a CapturingRunner's run
/// does.
class ProgramRunner
{
public:
    virtual ~ProgramRunner() = default;
    /// Starts `command` with arguments passed as data (no shell) and stdin closed; it is killed
    /// once `timeLimit` has passed. `done` is called exactly once with the outcome, possibly
    /// before Run returns when the program cannot be started.
    virtual void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const CapturedRun&)> done)
        = 0;
};

} // namespace larkspan
