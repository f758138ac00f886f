#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace larkspan {

/// Runs blocking work on threads of their own and hands what each made of it to `post`, which runs
/// it on the owner's thread (for a window, through its event loop). Destroying it asks every task
/// to stop, waits for their threads and drops the reports not yet delivered.
class BackgroundTasks final
{
public:
    using Post = std::function<void(std::function<void()> task)>;
    /// Runs on a worker thread; returns the report for the owner's thread.
    using Work = std::function<std::function<void()>(std::stop_token stop)>;

    explicit BackgroundTasks(Post post);
    ~BackgroundTasks();
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;

    /// Starts `work` on a thread of its own; false when no thread could be made (nothing runs).
    bool Run(Work work);

private:
    struct Worker
    {
        std::shared_ptr<std::atomic<bool>> finished;
        std::jthread thread;
    };

    Post m_post;
    // Read by the posted reports on the owner's thread; cleared first by the destructor.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    std::mutex m_mutex;
    std::list<Worker> m_workers;
};

} // namespace larkspan
