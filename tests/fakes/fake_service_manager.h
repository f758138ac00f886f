#pragma once

#include "platform/service_manager.h"

#include <functional>
#include <string>
#include <vector>

namespace larkspan {

/// Records every service command and answers it: at once, with what `answer` makes of it (Done
/// when unset), or, with `holdAnswers`, only when the test calls Finish.
class FakeServiceManager final : public ServiceManager
{
public:
    struct Request
    {
        ServiceAction action;
        std::string name;
        bool elevated;
        std::chrono::milliseconds limit;
        std::function<void(const ServiceAnswer&)> done;

        /// "start Apache2", "stop MySQL as administrator".
        std::string line() const
        {
            return (action == ServiceAction::Start ? "start " : "stop ") + name
                + (elevated ? " as administrator" : "");
        }
    };

    bool CanElevate() const override { return canElevate; }

    void Run(ServiceAction action, const std::string& name, bool elevated, std::chrono::milliseconds limit,
        std::function<void(const ServiceAnswer&)> done) override
    {
        requests.push_back({action, name, elevated, limit, std::move(done)});
        if (onRun)
            onRun(requests.back());
        if (!holdAnswers)
            Finish(answer ? answer(requests.back()) : ServiceAnswer {ServiceAnswer::Outcome::Done, {}});
    }

    /// Answers the oldest command still waiting.
    void Finish(const ServiceAnswer& given)
    {
        for (Request& request : requests) {
            if (request.done) {
                auto done = std::move(request.done);
                request.done = nullptr;
                done(given);
                return;
            }
        }
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        for (const Request& request : requests)
            result.push_back(request.line());
        return result;
    }

    bool canElevate = true;
    bool holdAnswers = false;
    std::function<ServiceAnswer(const Request&)> answer;
    std::function<void(const Request&)> onRun;
    std::vector<Request> requests;
};

} // namespace larkspan
