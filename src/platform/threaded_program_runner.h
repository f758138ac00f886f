#pragma once

#include "platform/background_tasks.h"
#include "platform/capturing_runner.h"
#include "platform/program_runner.h"

namespace larkspan {

/// Runs each program through a CapturingRunner on a thread of its own (BackgroundTasks) and hands
/// the report to `post`, which runs it on the caller's thread (for a window, through its event
/// loop). Destroying the runner kills the programs still running, with whatever they started, and
/// waits for their threads; a report posted before then is dropped.
class ThreadedProgramRunner final : public ProgramRunner
{
public:
    using Post = BackgroundTasks::Post;

    ThreadedProgramRunner(CapturingRunner& runner, Post post);

    void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const CapturedRun&)> done) override;

private:
    CapturingRunner& m_runner;
    BackgroundTasks m_tasks;
};

} // namespace larkspan
