#include "app/service_control.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace larkspan {
namespace {

// Records launches and log lines in one sequence so their order can be checked, on a clock the
// test advances by hand.
class ServiceControlTest : public testing::Test
{
protected:
    ServiceControlTest()
    {
        launcher.onLaunch
            = [this](const Command& command) { events.push_back("launch " + command.commandLine()); };
    }

    ServiceControl::Hooks Hooks()
    {
        return {
            [this](std::string_view message) {
                events.push_back("log " + std::string(message) + "@" + std::to_string(clock));
            },
            [this] {
                ++eventRounds;
                clock += tick;
                if (duringPause)
                    std::exchange(duringPause, nullptr)();
            },
            [this] { return clock; },
        };
    }

    FakeLauncher launcher;
    FakeMessageBoxes messages;
    std::vector<std::string> events;
    double clock = 100.0;
    double tick = 1.0;
    int eventRounds = 0;
    std::function<void()> duringPause;
};

struct CommandCase
{
    const char* name;
    std::function<void(ServiceControl&)> run;
    std::vector<std::string> expected;
};

TEST_F(ServiceControlTest, StartAndStopLaunchHiddenThenLog)
{
    const CommandCase cases[] = {
        {"start Apache", [](ServiceControl& c) { c.Start(ServiceKind::Apache); },
            {"launch net start Apache2", "log Apache正在启动...    @100.000000"}},
        {"stop Apache", [](ServiceControl& c) { c.Stop(ServiceKind::Apache); },
            {"launch net stop Apache2", "log Apache正在停止...    @100.000000"}},
        {"start MySQL", [](ServiceControl& c) { c.Start(ServiceKind::MySQL); },
            {"launch net start MySQL", "log MySQL正在启动...    @100.000000"}},
        {"stop MySQL", [](ServiceControl& c) { c.Stop(ServiceKind::MySQL); },
            {"launch net stop MySQL", "log MySQL正在停止...    @100.000000"}},
        {"start twice is not guarded",
            [](ServiceControl& c) {
                c.Start(ServiceKind::Apache);
                c.Start(ServiceKind::Apache);
            },
            {"launch net start Apache2", "log Apache正在启动...    @100.000000", "launch net start Apache2",
                "log Apache正在启动...    @100.000000"}},
    };
    for (const CommandCase& c : cases) {
        events.clear();
        launcher.launches.clear();
        ServiceControl control(launcher, messages, Hooks());
        c.run(control);
        EXPECT_EQ(events, c.expected) << c.name;
        for (const auto& launch : launcher.launches)
            EXPECT_EQ(launch.style, WindowStyle::Hidden) << c.name;
    }
    EXPECT_EQ(eventRounds, 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ServiceControlTest, RestartPausesAtLeastFiveSecondsWhileProcessingEvents)
{
    struct Case
    {
        const char* name;
        double tick;
        int rounds;
        const char* startTime;
    };
    const Case cases[] = {
        {"whole seconds stop at exactly five", 1.0, 5, "105.000000"},
        {"first check past five ends the pause", 2.0, 3, "106.000000"},
        {"events processed at least once", 10.0, 1, "110.000000"},
    };
    for (const Case& c : cases) {
        events.clear();
        clock = 100.0;
        tick = c.tick;
        eventRounds = 0;
        ServiceControl control(launcher, messages, Hooks());
        control.Restart(ServiceKind::MySQL);
        EXPECT_EQ(eventRounds, c.rounds) << c.name;
        EXPECT_EQ(events,
            (std::vector<std::string> {"launch net stop MySQL", "log MySQL正在停止...    @100.000000",
                "launch net start MySQL", std::string("log MySQL正在启动...    @") + c.startTime}))
            << c.name;
    }
}

TEST_F(ServiceControlTest, CommandDuringThePauseRunsAtOnce)
{
    ServiceControl control(launcher, messages, Hooks());
    duringPause = [&] { control.Stop(ServiceKind::Apache); };
    control.Restart(ServiceKind::MySQL);
    EXPECT_EQ(events,
        (std::vector<std::string> {"launch net stop MySQL", "log MySQL正在停止...    @100.000000",
            "launch net stop Apache2", "log Apache正在停止...    @101.000000", "launch net start MySQL",
            "log MySQL正在启动...    @105.000000"}));
}

TEST_F(ServiceControlTest, LaunchFailureShowsTheProgramAndEndsTheCommand)
{
    struct Case
    {
        const char* name;
        const char* failingVerb;
        std::function<void(ServiceControl&)> run;
        std::vector<std::string> expected;
        int rounds;
    };
    const Case cases[] = {
        {"start", "start", [](ServiceControl& c) { c.Start(ServiceKind::Apache); }, {}, 0},
        {"stop", "stop", [](ServiceControl& c) { c.Stop(ServiceKind::MySQL); }, {}, 0},
        {"restart whose stop fails skips pause and start", "stop",
            [](ServiceControl& c) { c.Restart(ServiceKind::Apache); }, {}, 0},
        {"restart whose start fails logs only the stop", "start",
            [](ServiceControl& c) { c.Restart(ServiceKind::Apache); },
            {"launch net stop Apache2", "log Apache正在停止...    @100.000000"}, 5},
    };
    for (const Case& c : cases) {
        events.clear();
        messages.shown.clear();
        clock = 100.0;
        tick = 1.0;
        eventRounds = 0;
        const std::string verb = c.failingVerb;
        launcher.failWhen = [verb](const Command& command) { return command.arguments.at(0).text == verb; };
        ServiceControl control(launcher, messages, Hooks());
        c.run(control);
        EXPECT_EQ(events, c.expected) << c.name;
        EXPECT_EQ(eventRounds, c.rounds) << c.name;
        EXPECT_EQ(messages.shown, std::vector<std::string> {"net: No such file or directory"}) << c.name;
    }
}

} // namespace
} // namespace larkspan
