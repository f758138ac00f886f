#include "platform/background_tasks.h"

#include <algorithm>
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

void BackgroundTasks::RunLater(std::function<void()> task)
{
    m_post([alive = m_alive, task = std::move(task)] {
        if (alive->load())
            task();
    });
}

Status BackgroundTasks::Launch(std::function<std::function<void()>(std::stop_token)> body)
{
    std::lock_guard lock(m_mutex);
    const unsigned long long id = m_nextId++;
    try {
        m_workers.push_back({id, std::jthread([this, id, body = std::move(body)](std::stop_token stop) {
                                 m_post([alive = m_alive, this, id, deliver = body(stop)] {
                                     if (!alive->load())
                                         return;
                                     Reap(id);
                                     deliver();
                                 });
                             })});
    } catch (const std::system_error& error) {
        return Status::Failure(error.what());
    }
    return Status::Success();
}

void BackgroundTasks::Reap(unsigned long long id)
{
    std::jthread ended;
    {
        std::lock_guard lock(m_mutex);
        const auto found = std::find_if(
            m_workers.begin(), m_workers.end(), [id](const Worker& worker) { return worker.id == id; });
        // A result posted straight from its own thread (a post that runs the task at once) leaves
        // the thread to the destructor.
        if (found == m_workers.end() || found->thread.get_id() == std::this_thread::get_id())
            return;
        ended = std::move(found->thread);
        m_workers.erase(found);
    }
    ended.join();
}

} // namespace larkspan
