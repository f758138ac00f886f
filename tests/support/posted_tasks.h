#pragma once
// Reports that platform code posts from its worker threads, run on the test's thread when it asks,
// as a window's event loop would run them.

#include <deque>
#include <functional>
#include <mutex>

namespace larkspan::test {

class PostedTasks final
{
public:
    /// What to hand to the platform code as its way back to this thread.
    std::function<void(std::function<void()>)> Post()
    {
        return [this](std::function<void()> task) {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        };
    }

    /// Runs the reports posted so far.
    void RunPending()
    {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
};

} // namespace larkspan::test
