#pragma once

#include "platform/program_runner.h"

#include <functional>
#include <vector>

namespace larkspan {

/// Records every run and keeps its report pending until the test calls `Finish`.
class FakeProgramRunner final : public ProgramRunner
{
public:
    struct Run
    {
        Command command;
        std::chrono::milliseconds timeLimit;
        std::function<void(const CapturedRun&)> done;
    };

    void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const CapturedRun&)> done) override
    {
        runs.push_back({command, timeLimit, std::move(done)});
    }

    /// Reports `result` for the oldest run still pending.
    void Finish(const CapturedRun& result)
    {
        for (auto& run : runs) {
            if (run.done) {
                auto done = std::move(run.done);
                run.done = nullptr;
                done(result);
                return;
            }
        }
    }

    std::vector<struct Run> runs;
};

} // namespace larkspan
