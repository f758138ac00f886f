// The servers' checks before a save: each checker's own start-up, the checker reading the live
// file alone, and the check of a changed file through the panel's logic (private copies, the
// checker, its answer read), on a demo bundle.
//
//   safe_settings_bench [BUNDLE] [ROUNDS]
//
// Without BUNDLE, one is laid out by bundle/make-bundle in a temporary folder and removed after.
// The checkers are processes named httpd.exe and mysqld-nt.exe: run it under the servers' lock.
#include "capturing_runner.h"
#include "config_files.h"
#include "file_batch.h"
#include "folders.h"
#include "server_check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace larkspan;
using Clock = std::chrono::steady_clock;

struct Figures
{
    double median = 0;
    double lowest = 0;
};

Figures Milliseconds(const std::function<void()>& run, int rounds)
{
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        run();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.front()};
}

Command Checker(const std::string& program, std::vector<std::string> arguments)
{
    Command command {program, {}};
    for (std::string& argument : arguments)
        command.arguments.push_back(Argument::literal(std::move(argument)));
    return command;
}

} // namespace

int main(int argc, char** argv)
{
    std::string bundle = argc > 1 ? argv[1] : "";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    std::string made;
    if (bundle.empty()) {
        if (!MakePrivateFolder(TemporaryFolderRoot(), "larkspan-bench-", made).ok()) {
            std::puts("no temporary folder for a bundle");
            return 0;
        }
        bundle = made + "/bundle";
        const std::string command = "'" LARKSPAN_SOURCE_DIR "/bundle/make-bundle' '" + bundle
            + "' --no-phpmyadmin --no-desktop-entries --build '" LARKSPAN_BUILD_DIR "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            std::printf("make-bundle failed: %s\n", command.c_str());
            (void)RemoveTree(made);
            return 0;
        }
    }

    const auto runner = MakeSystemCapturingRunner();
    DiskConfigFiles files(bundle);
    ServerChecker checker(*runner);
    std::string trouble;
    const auto run = [&](const Command& command) {
        const CapturedRun result = runner->Run(command, std::chrono::seconds(20));
        if (result.outcome != CapturedRun::Outcome::Exited)
            trouble = command.program + " did not run: " + result.standardError;
    };
    const std::string httpd = bundle + "/Apache2/bin/httpd.exe";
    const std::string php = bundle + "/PHP5/php.exe";
    const std::string mysqld = bundle + "/MySQL/bin/mysqld-nt.exe";
    const struct
    {
        const char* name;
        Command startUp;
        Command alone;
        std::function<Status(FileBatch&)> change;
    } checks[] = {
        {"Apache", Checker(httpd, {"-v"}),
            Checker(httpd, {"-t", "-D", "DUMP_INCLUDES", "-d", bundle + "/Apache2", "-f", "conf/httpd.conf"}),
            [&](FileBatch& batch) {
                return batch.RewriteDirective(
                    bundle + "\\Apache2\\conf\\httpd.conf", "ServerAdmin", "bench@localhost");
            }},
        {"PHP", Checker(php, {"-n", "-v"}),
            Checker(php, {"-c", bundle + "/PHP5/php.ini", "-d", "display_startup_errors=1", "-r", ""}),
            [&](FileBatch& batch) {
                return batch.SetIniKey(bundle + "\\PHP5\\php.ini", "PHP", "max_execution_time", "31");
            }},
        {"MySQL", Checker(mysqld, {"--version"}),
            Checker(mysqld, {"--defaults-file=" + bundle + "/MySQL/my.ini", "--help", "--verbose"}),
            [&](FileBatch& batch) {
                return batch.SetIniKey(bundle + "\\MySQL\\my.ini", "mysqld", "max_connections", "101");
            }},
    };

    std::printf(
        "Checks before a save on %s, %d rounds, milliseconds (median / lowest)\n", bundle.c_str(), rounds);
    std::printf("%-8s %18s %18s %18s %10s %10s\n", "checker", "start-up", "live file alone", "through logic",
        "added", "ratio");
    for (const auto& check : checks) {
        const Figures startUp = Milliseconds([&] { run(check.startUp); }, rounds);
        const Figures alone = Milliseconds([&] { run(check.alone); }, rounds);
        // The save composes its batch with or without a check: only the check is timed.
        FileBatch batch(files);
        if (!check.change(batch).ok())
            trouble = "change not composed";
        std::string verdict;
        const Figures logic = Milliseconds(
            [&] {
                const CheckReport report = checker.Check(PrepareCheck(files, batch));
                if (report.refused())
                    verdict = report.RefusalMessage();
                else if (!report.NotCheckedNote().empty())
                    verdict = report.NotCheckedNote();
            },
            rounds);
        std::printf("%-8s %8.1f / %7.1f %8.1f / %7.1f %8.1f / %7.1f %10.1f %9.2fx\n", check.name,
            startUp.median, startUp.lowest, alone.median, alone.lowest, logic.median, logic.lowest,
            logic.median - alone.median, logic.median / alone.median);
        if (!trouble.empty())
            std::printf("  (%s)\n", trouble.c_str());
        if (!verdict.empty())
            std::printf("  (the check did not accept the change: %s)\n", verdict.c_str());
        trouble.clear();
    }
    if (!made.empty())
        (void)RemoveTree(made);
    return 0;
}
