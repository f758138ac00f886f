// Placeholder implementations until the real platform code lands; replaced file by file.
#include "app_dir.h"
#include "command.h"
#include "instance_guard.h"
#include "launcher.h"
#include "process_list.h"

namespace larkspan {
namespace {
class NullLauncher final : public Launcher {
public:
    Status LaunchProgram(const Command& command, WindowStyle) override
    {
        return Status::Failure(command.program + ": launching is not implemented yet");
    }
};
class NullProcessList final : public ProcessList {
public:
    int CountProcesses(std::string_view) override { return 0; }
};
class NullGuard final : public InstanceGuard {
public:
    bool TryAcquire() override { return true; }
};
} // namespace
std::string Command::commandLine() const { return program; }
std::unique_ptr<Launcher> MakeSystemLauncher(std::string, std::string) { return std::make_unique<NullLauncher>(); }
std::unique_ptr<ProcessList> MakeSystemProcessList() { return std::make_unique<NullProcessList>(); }
std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string) { return std::make_unique<NullGuard>(); }
std::string ExecutableDirectory() { return "."; }
} // namespace larkspan
