#pragma once

#include "config/status.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

namespace larkspan {

/// Blocking work on threads of their own, each result handed back to the owner's thread through
/// `post` (for a window, its event loop). Destroying it asks the work still running to stop
/// through its std::stop_token, waits for the threads, and drops the results on their way: a
/// result is handed over only while this object lives, and only after the work's thread has
/// ended. The one pattern of the panel's background runs.
class BackgroundTasks final
{
public:
    /// Runs a task on the owner's thread later; called from the work's thread.
    using Post = std::function<void(std::function<void()> task)>;

    explicit BackgroundTasks(Post post);
    ~BackgroundTasks();
    BackgroundTasks(const BackgroundTasks&) = delete;
    BackgroundTasks& operator=(const BackgroundTasks&) = delete;

    /// Runs `work(std::stop_token)` on a new thread and then `deliver(result)` on the owner's
    /// thread. Both are copied. Fails, with the reason, when no thread can be had; nothing runs
    /// then.
    template <typename Work, typename Deliver> Status Start(Work work, Deliver deliver)
    {
        return Launch([work = std::move(work), deliver = std::move(deliver)](
                          std::stop_token stop) mutable -> std::function<void()> {
            return
                [deliver = std::move(deliver), result = work(stop)]() mutable { deliver(std::move(result)); };
        });
    }

    /// Runs `task` on the owner's thread later, unless this object has gone by then.
    void RunLater(std::function<void()> task);

private:
    /// Runs `body` on a new thread; what it returns is run on the owner's thread.
    Status Launch(std::function<std::function<void()>(std::stop_token)> body);
    /// The work `id` has posted its result: its thread is joined before the result is handed over.
    void Reap(unsigned long long id);

    struct Worker
    {
        unsigned long long id = 0;
        std::jthread thread;
    };

    Post m_post;
    // Read by the posted results on the owner's thread; cleared first by the destructor.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    std::mutex m_mutex;
    std::list<Worker> m_workers;
    unsigned long long m_nextId = 1;
};

} // namespace larkspan
