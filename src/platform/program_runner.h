#pragma once

#include "command.h"

#include <chrono>
#include <functional>
#include <string>

namespace larkspan {

/// How a program run by a ProgramRunner ended.
struct RunResult
{
    enum class Outcome { Exited, NotStarted, TimedOut, Crashed };
    Outcome outcome = Outcome::NotStarted;
    int exitCode = -1;
    /// The program's error output (its standard output when that is empty); for NotStarted, the
    /// program and the reason.
    std::string output;
};

/// Runs a program to its end without blocking the caller.
class ProgramRunner
{
public:
    virtual ~ProgramRunner() = default;
    /// Starts `command` with arguments passed as data (no shell) and stdin closed; it is killed
    /// once `timeLimit` has passed. `done` is called exactly once with the outcome, possibly
    /// before Run returns when the program cannot be started.
    virtual void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const RunResult&)> done)
        = 0;
};

} // namespace larkspan
