#pragma once

#include "platform/capturing_runner.h"
#include "platform/program_runner.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace larkspan {

/// Runs each program through a CapturingRunner on a thread of its own and hands the report to
/// `post`, which runs it on the caller's thread (for a window, through its event loop). Destroying
/// the runner kills the programs still running, with whatever they started, and waits for their
/// threads; a report posted before then is dropped.
class ThreadedProgramRunner final : public ProgramRunner
{
public:
    using Post = std::function<void(std::function<void()> task)>;

    ThreadedProgramRunner(CapturingRunner& runner, Post post);
    ~ThreadedProgramRunner() override;
    ThreadedProgramRunner(const ThreadedProgramRunner&) = delete;
    ThreadedProgramRunner& operator=(const ThreadedProgramRunner&) = delete;

    void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const CapturedRun&)> done) override;

private:
    struct Worker
    {
        std::shared_ptr<std::atomic<bool>> finished;
        std::jthread thread;
    };

    CapturingRunner& m_runner;
    Post m_post;
    // Read by the posted reports on the caller's thread; cleared first by the destructor.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    std::mutex m_mutex;
    std::list<Worker> m_workers;
};

} // namespace larkspan
