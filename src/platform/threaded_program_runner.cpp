#include "platform/threaded_program_runner.h"

#include <system_error>
#include <utility>

namespace larkspan {

ThreadedProgramRunner::ThreadedProgramRunner(CapturingRunner& runner, Post post)
    : m_runner(runner)
    , m_post(std::move(post))
{ }

ThreadedProgramRunner::~ThreadedProgramRunner()
{
    m_alive->store(false);
    std::list<Worker> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers)
        worker.thread.request_stop();
    // Each jthread joins as the list goes; the stop ends its program within a tenth of a second.
}

void ThreadedProgramRunner::Run(
    const Command& command, std::chrono::milliseconds timeLimit, std::function<void(const CapturedRun&)> done)
{
    const auto report = [post = m_post, alive = m_alive, done = std::move(done)](CapturedRun run) {
        post([alive, done, run = std::move(run)] {
            if (alive->load())
                done(run);
        });
    };

    std::lock_guard lock(m_mutex);
    // Threads of runs that have ended are joined here rather than piling up.
    std::erase_if(m_workers, [](const Worker& worker) { return worker.finished->load(); });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    try {
        m_workers.push_back(
            {finished, std::jthread([this, command, timeLimit, report, finished](std::stop_token stop) {
                 report(m_runner.Run(command, timeLimit, stop));
                 finished->store(true);
             })});
    } catch (const std::system_error& error) {
        CapturedRun run;
        run.standardError = NativeCommand(command).program + ": " + error.what();
        report(std::move(run));
    }
}

} // namespace larkspan
