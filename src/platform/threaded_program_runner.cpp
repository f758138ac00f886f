#include "platform/threaded_program_runner.h"

#include <utility>

namespace larkspan {

ThreadedProgramRunner::ThreadedProgramRunner(CapturingRunner& runner, Post post)
    : m_runner(runner)
    , m_tasks(std::move(post))
{ }

void ThreadedProgramRunner::Run(
    const Command& command, std::chrono::milliseconds timeLimit, std::function<void(const CapturedRun&)> done)
{
    // The stop of a destroyed runner ends its program within a tenth of a second.
    const Status started
        = m_tasks.Start([&runner = m_runner, command, timeLimit](
                            std::stop_token stop) { return runner.Run(command, timeLimit, stop); },
            [done](const CapturedRun& run) { done(run); });
    if (!started.ok()) {
        CapturedRun run;
        run.standardError = NativeCommand(command).program + ": " + started.message();
        m_tasks.RunLater([done, run] { done(run); });
    }
}

} // namespace larkspan
