// The monitor's start-up probe and ticks, the notification icon's mouse rules and the log's time
// format; no widgets involved. How each state is presented, and what a close does, are shown on
// the window itself (test_form1.cpp).
#include "app/status_rules.h"
#include "app/tray_rules.h"
#include "fakes/fake_process_list.h"
#include "platform/log_time.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace larkspan {
namespace {

// Records what the monitor presents and logs.
struct Recorder
{
    std::vector<std::string> lines;
    std::vector<std::pair<ServiceKind, ServiceState>> shown;
    StatusMonitor::View view()
    {
        return {[this](ServiceKind kind, ServiceState state) { shown.emplace_back(kind, state); },
            [this](std::string_view message) { lines.emplace_back(message); }};
    }
};

const std::string kApacheUp = "Apache已经启动...    ";
const std::string kApacheDown = "Apache已经停止...    ";
const std::string kMySqlUp = "MySQL已经启动...    ";
const std::string kMySqlDown = "MySQL已经停止...    ";

TEST(StatusMonitor, StartUpAndTicks)
{
    struct Step
    {
        std::vector<std::string> processes; ///< the process list seen by this step
        bool unreadable = false;
        std::vector<std::string> newLines; ///< lines the step appends
    };
    struct Scenario
    {
        const char* name;
        std::vector<Step> steps; ///< the first step is the start-up probe, the rest are ticks
    };
    const std::vector<Scenario> scenarios {
        {"both running at start-up, then unchanged",
            {{{"httpd.exe", "mysqld-nt.exe"}, false, {kApacheUp, kMySqlUp}},
                {{"httpd.exe", "mysqld-nt.exe"}, false, {}}}},
        {"neither running at start-up", {{{}, false, {kApacheDown, kMySqlDown}}, {{}, false, {}}}},
        {"Apache only: the first tick adds nothing",
            {{{"httpd.exe"}, false, {kApacheUp, kMySqlDown}}, {{"httpd.exe"}, false, {}}}},
        {"several processes are one server; all must go",
            {{{"httpd.exe", "httpd.exe", "httpd.exe"}, false, {kApacheUp, kMySqlDown}},
                {{"httpd.exe"}, false, {}}, {{}, false, {kApacheDown}}}},
        {"names differing in case or merely containing the name do not count",
            {{{"HTTPD.EXE", "xhttpd.exe", "httpd.exe.old", "Mysqld-nt.exe", "mysqld-nt.exe "}, false,
                {kApacheDown, kMySqlDown}}}},
        {"Apache vanishes and returns",
            {{{"httpd.exe"}, false, {kApacheUp, kMySqlDown}}, {{}, false, {kApacheDown}}, {{}, false, {}},
                {{"httpd.exe"}, false, {kApacheUp}}}},
        {"both change in one tick: Apache's line first",
            {{{}, false, {kApacheDown, kMySqlDown}},
                {{"mysqld-nt.exe", "httpd.exe"}, false, {kApacheUp, kMySqlUp}},
                {{}, false, {kApacheDown, kMySqlDown}}}},
        {"unreadable process list shows both stopped, then recovers",
            {{{"httpd.exe", "mysqld-nt.exe"}, false, {kApacheUp, kMySqlUp}},
                {{"httpd.exe", "mysqld-nt.exe"}, true, {kApacheDown, kMySqlDown}},
                {{"httpd.exe", "mysqld-nt.exe"}, false, {kApacheUp, kMySqlUp}}}},
    };

    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        FakeProcessList processes;
        Recorder recorder;
        StatusMonitor monitor(processes, recorder.view());
        for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
            const Step& step = scenario.steps[i];
            processes.names = step.processes;
            processes.unreadable = step.unreadable;
            recorder.lines.clear();
            recorder.shown.clear();
            const int snapshotsBefore = processes.snapshots;
            if (i == 0)
                monitor.Probe();
            else
                monitor.Tick();
            EXPECT_EQ(recorder.lines, step.newLines) << "step " << i;
            // Every step presents both servers, from one snapshot, Apache first.
            EXPECT_EQ(processes.snapshots - snapshotsBefore, 1) << "step " << i;
            ASSERT_EQ(recorder.shown.size(), 2u) << "step " << i;
            EXPECT_EQ(recorder.shown[0].first, ServiceKind::Apache);
            EXPECT_EQ(recorder.shown[1].first, ServiceKind::MySQL);
            for (const auto& [kind, state] : recorder.shown)
                EXPECT_EQ(monitor.Announced(kind), state) << "step " << i;
        }
    }
}

// The log follows what the ticks see: a restart between two ticks leaves no line although the
// server came back as other processes, more of them than before. The same restart with a tick
// while the server is down logs both changes, so the fake's change is visible to the monitor.
TEST(StatusMonitor, StopAndStartBetweenTwoTicksLogsNothing)
{
    const std::vector<std::string> before {"httpd.exe", "httpd.exe", "mysqld-nt.exe"};
    const std::vector<std::string> stopped {"mysqld-nt.exe"};
    const std::vector<std::string> after {
        "httpd.exe", "httpd.exe", "httpd.exe", "httpd.exe", "mysqld-nt.exe"};
    struct Row
    {
        const char* name;
        bool tickWhileStopped;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows {
        {"restart between two ticks", false, {}},
        {"a tick while Apache is down", true, {kApacheDown, kApacheUp}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeProcessList processes;
        processes.names = before;
        Recorder recorder;
        StatusMonitor monitor(processes, recorder.view());
        monitor.Probe();
        monitor.Tick();
        recorder.lines.clear();

        processes.names = stopped;
        if (row.tickWhileStopped)
            monitor.Tick();
        processes.names = after;
        recorder.shown.clear();
        const int snapshotsBefore = processes.snapshots;
        monitor.Tick();

        EXPECT_EQ(recorder.lines, row.lines);
        EXPECT_EQ(processes.snapshots - snapshotsBefore, 1) << "the tick looked at the list again";
        ASSERT_EQ(recorder.shown.size(), 2u);
        EXPECT_EQ(recorder.shown[0], std::make_pair(ServiceKind::Apache, Running));
        EXPECT_EQ(monitor.Announced(ServiceKind::Apache), Running);
        EXPECT_EQ(monitor.Announced(ServiceKind::MySQL), Running);
    }
}

TEST(TrayRules, MouseMessages)
{
    const std::vector<std::pair<int, TrayAction>> rows {
        {TrayLeftButtonUp, TrayAction::BringForwardAndPopup},
        {TrayRightButtonUp, TrayAction::BringForward},
        {TrayMouseMove, TrayAction::Nothing},
        {TrayLeftButtonDown, TrayAction::Nothing},
        {TrayLeftDoubleClick, TrayAction::Nothing},
        {TrayRightButtonDown, TrayAction::Nothing},
        {TrayMiddleButtonUp, TrayAction::Nothing},
        {0, TrayAction::Nothing},
    };
    for (const auto& [message, action] : rows)
        EXPECT_EQ(TrayActionFor(message), action) << message;
}

TEST(LogTime, LineForm)
{
    EXPECT_EQ(LogLine("Apache已经启动...    ", "14:05:09"), "Apache已经启动...    14:05:09");
}

} // namespace
} // namespace larkspan
