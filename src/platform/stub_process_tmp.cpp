// Placeholder until the process list, instance guard and AppDir land; delete this file then.
#include "app_dir.h"
#include "instance_guard.h"
#include "process_list.h"

namespace larkspan {
namespace {
class NullProcessList final : public ProcessList {
public:
    int CountProcesses(std::string_view) override { return 0; }
};
class NullGuard final : public InstanceGuard {
public:
    bool TryAcquire() override { return true; }
};
} // namespace
std::unique_ptr<ProcessList> MakeSystemProcessList() { return std::make_unique<NullProcessList>(); }
std::unique_ptr<InstanceGuard> MakeSystemInstanceGuard(std::string) { return std::make_unique<NullGuard>(); }
std::string ExecutableDirectory() { return "."; }
} // namespace larkspan
