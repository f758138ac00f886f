// Placeholder until the launcher lands; delete this file when launcher_linux.cpp and command.cpp exist.
#include "command.h"
#include "launcher.h"

namespace larkspan {
namespace {
class NullLauncher final : public Launcher {
public:
    Status LaunchProgram(const Command& command, WindowStyle) override
    {
        return Status::Failure(command.program + ": launching is not implemented yet");
    }
};
} // namespace
std::string Command::commandLine() const { return program; }
std::unique_ptr<Launcher> MakeSystemLauncher(std::string, std::string) { return std::make_unique<NullLauncher>(); }
} // namespace larkspan
