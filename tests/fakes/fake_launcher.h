#pragma once

#include "platform/launcher.h"

#include <functional>
#include <string>
#include <vector>

namespace larkspan {

/// Records every launch; `failWhen` makes chosen launches fail as a missing program would.
class FakeLauncher final : public Launcher
{
public:
    struct Launch
    {
        Command command;
        WindowStyle style;
        std::string line() const { return command.commandLine(); }
    };

    Status LaunchProgram(const Command& command, WindowStyle style) override
    {
        if (failWhen && failWhen(command))
            return Status::Failure(command.program + ": No such file or directory");
        launches.push_back({command, style});
        if (onLaunch)
            onLaunch(command);
        return Status::Success();
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        for (const auto& launch : launches)
            result.push_back(launch.line());
        return result;
    }

    std::vector<Launch> launches;
    std::function<bool(const Command&)> failWhen;
    std::function<void(const Command&)> onLaunch;
};

} // namespace larkspan
