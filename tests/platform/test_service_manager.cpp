// Services on Linux: the bundle's stand-in of net, here scripts that answer as the real ones would,
// with their exit status and their words in the services log.
#include "platform/service_manager.h"
#include "support/file_contents.h"
#include "support/posted_tasks.h"
#include "support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Outcome = ServiceAnswer::Outcome;

void WriteNet(const test::TempDir& bundle, const std::string& body)
{
    fs::create_directories(bundle / "bin");
    std::ofstream(bundle / "bin/net") << "#!/bin/sh\n" << body;
    fs::permissions(bundle / "bin/net", fs::perms::owner_all);
}

std::optional<ServiceAnswer> Await(test::PostedTasks& tasks, std::optional<ServiceAnswer>& answer)
{
    for (int i = 0; i < 1000 && !answer; ++i) {
        tasks.RunPending();
        std::this_thread::sleep_for(10ms);
    }
    return answer;
}

TEST(LinuxServiceManager, TheStandInsExitStatusAndWordsAreTheAnswer)
{
    const struct
    {
        const char* name;
        std::string net;
        std::chrono::milliseconds limit;
        ServiceAnswer expected;
    } rows[] = {
        {"started", "echo \"net: $2 was started successfully.\"\n", 10s, {Outcome::Done, {}}},
        {"failed, in its own words",
            "echo \"2024-01-06 09:00:02 net: $2 is starting.\"\n"
            "echo \"2024-01-06 09:00:03 net: $2 did not start; see error.log.\" >&2\n"
            "echo 'something else' >&2\nexit 2\n",
            10s, {Outcome::Failed, "2024-01-06 09:00:03 net: Apache2 did not start; see error.log."}},
        {"refused as the real net says it in English",
            "printf 'System error 5 has occurred.\\r\\n\\r\\nAccess is denied.\\r\\n\\r\\n'\nexit 2\n", 10s,
            {Outcome::Failed, "Access is denied."}},
        {"refused as the real net says it in Chinese",
            "printf '发生系统错误 5。\\r\\n\\r\\n拒绝访问。\\r\\n\\r\\n'\nexit 2\n", 10s,
            {Outcome::Failed, "拒绝访问。"}},
        {"silent failure", "exit 3\n", 10s, {Outcome::Failed, "net: 退出码 3"}},
        {"not finished in time", "sleep 5\n", 300ms, {Outcome::TimedOut, {}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir bundle;
        WriteNet(bundle, row.net);
        test::PostedTasks tasks;
        const auto manager = MakeSystemServiceManager(bundle.path(), bundle / "services.log", tasks.Post());
        EXPECT_FALSE(manager->CanElevate());
        std::optional<ServiceAnswer> answer;
        const auto started = std::chrono::steady_clock::now();
        manager->Run(ServiceAction::Start, "Apache2", false, row.limit,
            [&answer](const ServiceAnswer& given) { answer = given; });
        EXPECT_EQ(Await(tasks, answer), row.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
    }
}

TEST(LinuxServiceManager, AServerTheStandInStartedOutlivesItAndAMissingStandInIsNamed)
{
    test::TempDir bundle;
    // A daemon in a session of its own, as Apache and the stand-in's MariaDB are.
    WriteNet(
        bundle, "setsid sleep 30 </dev/null >/dev/null 2>&1 &\necho $! > \"$(dirname \"$0\")/daemon.pid\"\n");
    test::PostedTasks tasks;
    const auto manager = MakeSystemServiceManager(bundle.path(), bundle / "services.log", tasks.Post());
    std::optional<ServiceAnswer> answer;
    manager->Run(
        ServiceAction::Start, "MySQL", false, 10s, [&answer](const ServiceAnswer& given) { answer = given; });
    ASSERT_EQ(Await(tasks, answer), (ServiceAnswer {Outcome::Done, {}}));
    const pid_t daemon = std::stoi(FileContents(bundle / "bin/daemon.pid"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(::kill(daemon, 0), 0) << "the server went with the command";
    ::kill(daemon, SIGKILL);

    fs::remove(bundle / "bin/net");
    answer.reset();
    manager->Run(
        ServiceAction::Stop, "MySQL", false, 10s, [&answer](const ServiceAnswer& given) { answer = given; });
    EXPECT_EQ(Await(tasks, answer),
        (ServiceAnswer {Outcome::Failed, "net: 在 " + bundle.path() + "/bin 中找不到这个程序"}));
}

} // namespace
} // namespace larkspan
