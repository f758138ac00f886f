#pragma once

#include "platform/capturing_runner.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace larkspan {

/// Records every run and answers with what `answer` makes of the command, called while the
/// "program" runs, so a test can look at the files it was given. With `hangs`, a run ends only
/// at its time limit or its stop, as a real one that does not end.
class FakeCapturingRunner final : public CapturingRunner
{
public:
    CapturedRun Run(
        const Command& command, std::chrono::milliseconds timeLimit, std::stop_token stop) override
    {
        std::unique_lock lock(m_mutex);
        commands.push_back(command);
        limits.push_back(timeLimit);
        if (hangs) {
            std::condition_variable_any never;
            never.wait_for(lock, stop, timeLimit, [] { return false; });
            return CapturedRun {CapturedRun::Outcome::TimedOut, -1, {}, {}};
        }
        return answer ? answer(command) : CapturedRun {CapturedRun::Outcome::Exited, 0, {}, {}};
    }

    /// How many runs have begun, safe while one runs on another thread.
    std::size_t RunCount()
    {
        std::lock_guard lock(m_mutex);
        return commands.size();
    }

    std::function<CapturedRun(const Command&)> answer;
    bool hangs = false;
    std::vector<Command> commands;
    std::vector<std::chrono::milliseconds> limits;

private:
    std::mutex m_mutex;
};

} // namespace larkspan
