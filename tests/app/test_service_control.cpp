#include "app/service_control.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_service_manager.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace larkspan {
namespace {

using Outcome = ServiceAnswer::Outcome;
using namespace std::chrono_literals;

// What the service manager of Windows answers, in the system's words of an English and a Chinese
// Windows.
const ServiceAnswer kDenied {Outcome::Denied, "Access is denied."};
const ServiceAnswer kDeniedChinese {Outcome::Denied, "拒绝访问。"};
const ServiceAnswer kConsentRefused {Outcome::Refused, "操作已被用户取消。"};
const ServiceAnswer kDone {Outcome::Done, {}};

// Records commands and log lines in one sequence so their order can be checked, on a clock the
// test advances by hand.
class ServiceControlTest : public testing::Test
{
protected:
    ServiceControlTest()
    {
        services.onRun = [this](const FakeServiceManager::Request& request) {
            events.push_back(request.line() + "@" + std::to_string(clock));
        };
    }

    ServiceControl::Hooks Hooks()
    {
        return {
            [this](std::string_view message) { events.push_back("log " + std::string(message)); },
            [this] {
                ++eventRounds;
                clock += tick;
                if (duringPause)
                    duringPause();
            },
            [this] { return clock; },
            nullptr,
            [this](std::string_view message) { events.push_back("long " + std::string(message)); },
        };
    }

    FakeServiceManager services;
    FakeMessageBoxes messages;
    std::vector<std::string> events;
    double clock = 100.0;
    double tick = 1.0;
    int eventRounds = 0;
    std::function<void()> duringPause;
};

TEST_F(ServiceControlTest, StartAndStopLogThenIssueTheCommand)
{
    const struct
    {
        const char* name;
        std::function<void(ServiceControl&)> run;
        std::vector<std::string> expected;
    } cases[] = {
        {"start Apache", [](ServiceControl& c) { c.Start(ServiceKind::Apache); },
            {"log Apache正在启动...    ", "start Apache2@100.000000"}},
        {"stop Apache", [](ServiceControl& c) { c.Stop(ServiceKind::Apache); },
            {"log Apache正在停止...    ", "stop Apache2@100.000000"}},
        {"start MySQL", [](ServiceControl& c) { c.Start(ServiceKind::MySQL); },
            {"log MySQL正在启动...    ", "start MySQL@100.000000"}},
        {"stop MySQL", [](ServiceControl& c) { c.Stop(ServiceKind::MySQL); },
            {"log MySQL正在停止...    ", "stop MySQL@100.000000"}},
        {"start twice is not guarded",
            [](ServiceControl& c) {
                c.Start(ServiceKind::Apache);
                c.Start(ServiceKind::Apache);
            },
            {"log Apache正在启动...    ", "start Apache2@100.000000", "log Apache正在启动...    ",
                "start Apache2@100.000000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        services.requests.clear();
        ServiceControl control(services, messages, Hooks());
        c.run(control);
        EXPECT_EQ(events, c.expected);
        for (const auto& request : services.requests)
            EXPECT_EQ(request.limit, 60s);
    }
    EXPECT_EQ(eventRounds, 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ServiceControlTest, RestartStartsOnceTheStopHasEndedAndFiveSecondsHavePassed)
{
    struct Case
    {
        const char* name;
        double tick;
        double stopTakes; ///< seconds until the stop is answered; negative: never
        std::vector<std::string> expected;
        int rounds;
    };
    const Case cases[] = {
        {"a quick stop still gets five seconds", 1.0, 0,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000", "log MySQL正在启动...    ",
                "start MySQL@105.000000"},
            5},
        {"the first check past five ends the pause", 2.0, 0,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000", "log MySQL正在启动...    ",
                "start MySQL@106.000000"},
            3},
        {"events are processed at least once", 10.0, 0,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000", "log MySQL正在启动...    ",
                "start MySQL@110.000000"},
            1},
        {"a MySQL that takes 8 s to stop is started after it", 1.0, 8,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000", "log MySQL正在启动...    ",
                "start MySQL@108.000000"},
            8},
        {"a stop that never ends leaves the server alone", 1.0, -1,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000",
                "long MySQL 服务没有停止，所以没有重新启动：在 60 秒内没有停止完毕    "},
            65},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        services.requests.clear();
        clock = 100.0;
        tick = c.tick;
        eventRounds = 0;
        services.holdAnswers = c.stopTakes != 0;
        duringPause = [&] {
            if (c.stopTakes > 0 && clock - 100.0 >= c.stopTakes)
                services.Finish(kDone);
        };
        ServiceControl control(services, messages, Hooks());
        control.Restart(ServiceKind::MySQL);
        EXPECT_EQ(events, c.expected);
        EXPECT_EQ(eventRounds, c.rounds);
    }
}

TEST_F(ServiceControlTest, CommandDuringThePauseRunsAtOnce)
{
    ServiceControl control(services, messages, Hooks());
    duringPause = [&] { control.Stop(ServiceKind::Apache); };
    control.Restart(ServiceKind::MySQL);
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
        (std::vector<std::string> {"log MySQL正在停止...    ", "stop MySQL@100.000000",
            "log Apache正在停止...    ", "stop Apache2@101.000000"}));
    EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
        (std::vector<std::string> {"log MySQL正在启动...    ", "start MySQL@105.000000"}));
}

// A command refused for want of rights is reported at once, naming the service and the remedy;
// where the system can ask for rights, the user may run that one command as administrator.
TEST_F(ServiceControlTest, ADeniedCommandIsReportedAtOnceAndMayRunAsAdministrator)
{
    struct Case
    {
        const char* name;
        std::function<void(ServiceControl&)> run;
        ServiceAnswer denial;
        bool canElevate;
        std::deque<bool> userSays;
        ServiceAnswer elevatedAnswer;
        std::vector<std::string> commands;
        std::vector<std::string> log;
        std::vector<std::string> asked;
        std::vector<std::string> shown;
    };
    const auto start = [](ServiceControl& c) { c.Start(ServiceKind::Apache); };
    const auto stop = [](ServiceControl& c) { c.Stop(ServiceKind::MySQL); };
    const auto restart = [](ServiceControl& c) { c.Restart(ServiceKind::MySQL); };
    const std::string question = "启动 Apache2 服务被拒绝（拒绝访问。）：控制系统服务需要管理员权限。\n\n"
                                 "要以管理员身份启动这个服务吗？Windows 会请您确认。";
    const Case cases[] = {
        {"start, run as administrator", start, kDeniedChinese, true, {true}, kDone,
            {"start Apache2", "start Apache2 as administrator"},
            {"Apache正在启动...    ", "启动 Apache2 服务被拒绝：需要管理员权限    ", "Apache正在启动...    "},
            {question}, {}},
        {"start, the user says no", start, kDeniedChinese, true, {false}, kDone, {"start Apache2"},
            {"Apache正在启动...    ", "启动 Apache2 服务被拒绝：需要管理员权限    "}, {question}, {}},
        {"start, the consent prompt refused", start, kDeniedChinese, true, {true}, kConsentRefused,
            {"start Apache2", "start Apache2 as administrator"},
            {"Apache正在启动...    ", "启动 Apache2 服务被拒绝：需要管理员权限    ", "Apache正在启动...    ",
                "没有启动 Apache2 服务：没有得到管理员权限    "},
            {question}, {}},
        {"start, no way to ask for rights", start, kDenied, false, {}, kDone, {"start Apache2"},
            {"Apache正在启动...    ", "启动 Apache2 服务被拒绝：需要管理员权限    "}, {},
            {"启动 Apache2 服务被拒绝（Access is denied.）：控制系统服务需要管理员权限。\n"
             "请以管理员身份运行本程序，或在“系统服务管理”中启动这个服务。"}},
        {"start, denied as administrator too", start, kDenied, true, {true}, kDenied,
            {"start Apache2", "start Apache2 as administrator"},
            {"Apache正在启动...    ", "启动 Apache2 服务被拒绝：需要管理员权限    ", "Apache正在启动...    ",
                "启动 Apache2 服务被拒绝：需要管理员权限    "},
            {"启动 Apache2 服务被拒绝（Access is denied.）：控制系统服务需要管理员权限。\n\n"
             "要以管理员身份启动这个服务吗？Windows 会请您确认。"},
            {"启动 Apache2 服务被拒绝（Access is denied.）：控制系统服务需要管理员权限。\n"
             "请以管理员身份运行本程序，或在“系统服务管理”中启动这个服务。"}},
        {"stop, run as administrator", stop, kDeniedChinese, true, {true}, kDone,
            {"stop MySQL", "stop MySQL as administrator"},
            {"MySQL正在停止...    ", "停止 MySQL 服务被拒绝：需要管理员权限    ", "MySQL正在停止...    "},
            {"停止 MySQL 服务被拒绝（拒绝访问。）：控制系统服务需要管理员权限。\n\n"
             "要以管理员身份停止这个服务吗？Windows 会请您确认。"},
            {}},
        {"restart, one question for both commands", restart, kDeniedChinese, true, {true}, kDone,
            {"stop MySQL", "stop MySQL as administrator", "start MySQL as administrator"},
            {"MySQL正在停止...    ", "重启 MySQL 服务被拒绝：需要管理员权限    ", "MySQL正在停止...    ",
                "MySQL正在启动...    "},
            {"重启 MySQL 服务被拒绝（拒绝访问。）：控制系统服务需要管理员权限。\n\n"
             "要以管理员身份重启这个服务吗？Windows 会请您确认。"},
            {}},
        {"restart, the user says no", restart, kDeniedChinese, true, {false}, kDone, {"stop MySQL"},
            {"MySQL正在停止...    ", "重启 MySQL 服务被拒绝：需要管理员权限    "},
            {"重启 MySQL 服务被拒绝（拒绝访问。）：控制系统服务需要管理员权限。\n\n"
             "要以管理员身份重启这个服务吗？Windows 会请您确认。"},
            {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServiceManager manager;
        FakeMessageBoxes boxes;
        std::vector<std::string> log;
        manager.canElevate = c.canElevate;
        manager.answer = [&c](const FakeServiceManager::Request& request) {
            return request.elevated ? c.elevatedAnswer : c.denial;
        };
        boxes.answers = c.userSays;
        ServiceControl control(manager, boxes,
            {[&log](std::string_view message) { log.push_back(std::string(message)); },
                [this] { clock += 1; }, [this] { return clock; }});
        c.run(control);
        EXPECT_EQ(manager.lines(), c.commands);
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(boxes.asked, c.asked);
        EXPECT_EQ(boxes.shown, c.shown);
    }
}

TEST_F(ServiceControlTest, FailuresAndCommandsThatDidNotFinishAreLogged)
{
    const ServiceAnswer missingStandIn {Outcome::Failed, "net: 在 /b/bin 中找不到这个程序"};
    const ServiceAnswer specificError {Outcome::Failed, "服务特定错误 (1)"};
    const ServiceAnswer timedOut {Outcome::TimedOut, {}};
    const struct
    {
        const char* name;
        std::function<void(ServiceControl&)> run;
        ServiceAnswer answer;
        std::vector<std::string> expected;
    } cases[] = {
        {"a start that failed", [](ServiceControl& c) { c.Start(ServiceKind::Apache); }, specificError,
            {"log Apache正在启动...    ", "start Apache2@100.000000",
                "long Apache2 服务没有启动：服务特定错误 (1)    "}},
        {"a stop that failed", [](ServiceControl& c) { c.Stop(ServiceKind::MySQL); }, missingStandIn,
            {"log MySQL正在停止...    ", "stop MySQL@100.000000",
                "long MySQL 服务没有停止：net: 在 /b/bin 中找不到这个程序    "}},
        {"a start that did not finish", [](ServiceControl& c) { c.Start(ServiceKind::MySQL); }, timedOut,
            {"log MySQL正在启动...    ", "start MySQL@100.000000",
                "log MySQL 服务在 60 秒内没有启动完毕    "}},
        {"a stop that did not finish", [](ServiceControl& c) { c.Stop(ServiceKind::Apache); }, timedOut,
            {"log Apache正在停止...    ", "stop Apache2@100.000000",
                "log Apache2 服务在 60 秒内没有停止完毕    "}},
        {"a restart whose stop failed starts nothing",
            [](ServiceControl& c) { c.Restart(ServiceKind::Apache); }, missingStandIn,
            {"log Apache正在停止...    ", "stop Apache2@100.000000",
                "long Apache2 服务没有停止，所以没有重新启动：net: 在 /b/bin 中找不到这个程序    "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        events.clear();
        clock = 100.0;
        services.answer = [&c](const FakeServiceManager::Request&) { return c.answer; };
        ServiceControl control(services, messages, Hooks());
        c.run(control);
        EXPECT_EQ(events, c.expected);
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(ServiceControlTest, AnAnswerAfterTheControlHasGoneIsDropped)
{
    services.holdAnswers = true;
    {
        ServiceControl control(services, messages, Hooks());
        control.Start(ServiceKind::Apache);
    }
    events.clear();
    services.Finish(kDenied);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(messages.asked.empty());
}

} // namespace
} // namespace larkspan
