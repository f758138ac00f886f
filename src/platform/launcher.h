#pragma once

#include "config/status.h"
#include "platform/command.h"

#include <memory>
#include <string>

namespace larkspan {

/// Starts outside programs without waiting for them.
class Launcher
{
public:
    virtual ~Launcher() = default;
    /// Starts `command` as a new, independent process and returns at once. Fails (with a message
    /// naming the program and the reason) only when the program cannot be started at all.
    virtual Status LaunchProgram(const Command& command, WindowStyle style) = 0;
};

/// The operating system's launcher. Bare program names are first looked up as stand-ins in
/// appDir/bin; output of Hidden programs goes to `logFile` when it is not empty.
std::unique_ptr<Launcher> MakeSystemLauncher(std::string appDir, std::string logFile);

} // namespace larkspan
