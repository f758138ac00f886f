#pragma once

#include "platform/capturing_runner.h"

#include <functional>
#include <mutex>
#include <vector>

namespace larkspan {

/// Records every run and answers with what `answer` makes of the command, called while the
/// "program" runs, so a test can look at the files it was given.
class FakeCapturingRunner final : public CapturingRunner
{
public:
    CapturedRun Run(const Command& command, std::chrono::milliseconds timeLimit, std::stop_token) override
    {
        std::lock_guard lock(m_mutex);
        commands.push_back(command);
        limits.push_back(timeLimit);
        return answer ? answer(command) : CapturedRun {CapturedRun::Outcome::Exited, 0, {}, {}};
    }

    std::function<CapturedRun(const Command&)> answer;
    std::vector<Command> commands;
    std::vector<std::chrono::milliseconds> limits;

private:
    std::mutex m_mutex;
};

} // namespace larkspan
