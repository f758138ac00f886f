// The bundle's checkers as real programs that leave something running: the checker's own end and
// its words decide the verdict at once, and what it left behind is ended.
#include "config/native_path.h"
#include "fakes/fake_config_files.h"
#include "platform/capturing_runner.h"
#include "safety/server_check.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using Kind = ServerVerdict::Kind;
using namespace std::chrono_literals;

// Gone, or a zombie waiting for its new parent; waits up to five seconds.
bool Ended(const std::string& pid)
{
    const auto ended = [&] {
        const std::string stat = FileContents("/proc/" + pid + "/stat");
        return stat.empty() || stat.compare(stat.rfind(')'), 3, ") Z") == 0;
    };
    for (int wait = 0; wait < 100 && !ended(); ++wait)
        std::this_thread::sleep_for(50ms);
    return ended();
}

TEST(ServerCheckWithRealCheckers, WhatACheckerLeavesRunningNeverDecidesItsVerdict)
{
    test::TempDir bundle;
    fs::create_directories(fs::path(bundle.path()) / "PHP5");
    // Under a name of this test's own, so that no other test mistakes it for its own.
    const std::string sleeper = bundle.path() + "/check-leftover-" + std::to_string(::getpid());
    fs::create_symlink("/bin/sleep", sleeper);
    const std::string pidFile = bundle.path() + "/leftover.pid";
    const struct
    {
        const char* name;
        std::string script; ///< after the line that starts the leftover
        Kind kind;
        std::string lines;
    } rows[] = {
        {"a fatal error, exit 255, a background child holding the output",
            "'" + sleeper + "' 60 & echo $! > '" + pidFile
                + "'\necho 'PHP Fatal error:  Unknown: bad value in Unknown on line 0' >&2\nexit 255\n",
            Kind::Refused, "PHP Fatal error:  Unknown: bad value in Unknown on line 0"},
        {"the same with the child in a session of its own",
            "setsid '" + sleeper + "' 60 & echo $! > '" + pidFile
                + "'\necho 'PHP Fatal error:  Unknown: bad value in Unknown on line 0' >&2\nexit 255\n",
            Kind::Refused, "PHP Fatal error:  Unknown: bad value in Unknown on line 0"},
        {"its answer at once, a child in a session of its own holding the output",
            "setsid '" + sleeper + "' 60 & echo $! > '" + pidFile
                + "'\necho upload_max_filesize=8M\necho post_max_size=8M\nexit 0\n",
            Kind::Accepted, ""},
    };
    const std::string phpIni = bundle.path() + "\\PHP5\\php.ini";
    const auto runner = MakeSystemCapturingRunner();
    ServerChecker checker(*runner, 20s);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path php = fs::path(bundle.path()) / "PHP5/php.exe";
        std::ofstream(php, std::ios::trunc) << "#!/bin/sh\n" << row.script;
        fs::permissions(php, fs::perms::owner_all);
        FakeConfigFiles files(bundle.path());
        files.texts[phpIni] = "upload_max_filesize = 2M\n";
        FileBatch batch(files);
        ASSERT_TRUE(batch.Edit(phpIni, [](std::string_view) { return "upload_max_filesize = 8M\n"; }).ok());

        const auto started = std::chrono::steady_clock::now();
        const CheckReport report = checker.Check(PrepareCheck(files, batch));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
        ASSERT_EQ(report.verdicts.size(), 1u);
        EXPECT_EQ(report.verdicts[0].kind, row.kind);
        EXPECT_EQ(report.verdicts[0].lines, row.lines);
        std::string pid = FileContents(pidFile);
        pid.erase(pid.find_last_not_of('\n') + 1);
        ASSERT_FALSE(pid.empty());
        EXPECT_TRUE(Ended(pid)) << FileContents("/proc/" + pid + "/stat");
        fs::remove(pidFile);
    }
}

} // namespace
} // namespace larkspan
