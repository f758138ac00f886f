#pragma once

#include "platform/command.h"

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>

namespace larkspan {

/// How a program run by a CapturingRunner or a ProgramRunner ended, with what it wrote.
struct CapturedRun
{
    enum class Outcome { Exited, NotStarted, TimedOut, Crashed };
    Outcome outcome = Outcome::NotStarted;
    int exitCode = -1;
    std::string standardOutput;
    std::string standardError; ///< for NotStarted: the program and the reason
};

/// Runs a program to its end and keeps its output. Blocking: call it from a worker thread, never
/// from the window's thread.
class CapturingRunner
{
public:
    virtual ~CapturingRunner() = default;
    /// Runs `command` (arguments as data, no shell; a path argument mapped to the native file
    /// system) with stdin closed. The program's own end is the end of the run: its exit status
    /// and what it wrote decide the report, and whatever it started and left running is ended,
    /// even while that still holds its output open. Kills it, and whatever it started, once
    /// `timeLimit` has passed, or within a tenth of a second of a stop requested through `stop`:
    /// either ends as TimedOut. Safe to call from several threads at once.
    virtual CapturedRun Run(const Command& command, std::chrono::milliseconds timeLimit, std::stop_token stop)
        = 0;
};

/// The operating system's runner. Each stream keeps at most its first 4 MB.
std::unique_ptr<CapturingRunner> MakeSystemCapturingRunner();

} // namespace larkspan
