#include "platform/background_tasks.h"

#include <system_error>

namespace larkspan {

BackgroundTasks::BackgroundTasks(Post post)
    : m_post(std::move(post))
{ }

BackgroundTasks::~BackgroundTasks()
{
    m_alive->store(false);
    std::list<Worker> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (Worker& worker : workers)
        worker.thread.request_stop();
    // Each jthread joins as the list goes.
}

bool BackgroundTasks::Run(Work work)
{
    std::lock_guard lock(m_mutex);
    // Threads of tasks that have ended are joined here rather than piling up.
    std::erase_if(m_workers, [](const Worker& worker) { return worker.finished->load(); });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    try {
        m_workers.push_back({finished,
            std::jthread(
                [post = m_post, alive = m_alive, work = std::move(work), finished](std::stop_token stop) {
                    std::function<void()> report = work(stop);
                    post([alive, report = std::move(report)] {
                        if (alive->load() && report)
                            report();
                    });
                    finished->store(true);
                })});
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

} // namespace larkspan
