// The servers' checks before a save: each checker's own start-up, the checker reading the live
// file alone (the very command line a check runs), the check of a changed file through the
// panel's logic (private copies, the checker, its answer read), and the time from 确定 to the
// message in each dialog with and without the check, on a demo bundle (offscreen). The dialogs'
// rounds take turns with the checker alone, so that all three see the same load. The bundle's
// files are put back afterwards and the history of these saves, full from the start as after a
// while of use, is kept in a temporary folder.
//
//   safe_settings_bench [BUNDLE] [ROUNDS]
//
// Without BUNDLE, one is laid out by bundle/make-bundle in a temporary folder and removed after.
// The checkers are processes named httpd.exe and mysqld-nt.exe: run it under the servers' lock.
#include "config/disk_config_files.h"
#include "config/file_batch.h"
#include "config/folders.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "platform/capturing_runner.h"
#include "platform/launcher.h"
#include "platform/program_runner.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "safety/server_check.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

// Remembers the last message and when it came instead of showing it; confirmations are declined.
class LastMessage final : public MessageBoxes
{
public:
    void Inform(const std::string& text) override
    {
        shown = text;
        at = Clock::now();
    }
    bool Confirm(const std::string&) override { return false; }
    std::string shown;
    Clock::time_point at;
};

class NoLauncher final : public Launcher
{
public:
    Status LaunchProgram(const Command& command, WindowStyle) override
    {
        return Status::Failure(command.program + ": not started by the benchmark");
    }
};

class NoRunner final : public ProgramRunner
{
public:
    void Run(const Command&, std::chrono::milliseconds, std::function<void(const CapturedRun&)> done) override
    {
        done(CapturedRun {});
    }
};

// One dialog of the benchmark: made with or without the check, loaded as each opening does, and
// given round `i`'s change.
struct DialogRound
{
    const char* name;
    std::function<QDialog*(SafeSaveServices*)> make;
    std::function<void(QDialog&)> load;
    std::function<void(QDialog&, int round)> edit;
    const Command& alone; ///< the checker of its files
};

// From the click to the message, not to the end of what follows it (the dialog closing).
double SaveToMessage(QDialog& dialog, LastMessage& messages, std::string& trouble)
{
    messages.shown.clear();
    QElapsedTimer timer;
    timer.start();
    const auto start = Clock::now();
    dialog.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    while (messages.shown.empty() && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double milliseconds = std::chrono::duration<double, std::milli>(messages.at - start).count();
    if (messages.shown.rfind("设置成功", 0) != 0 && messages.shown.rfind("站点信息已保存", 0) != 0)
        trouble = messages.shown.empty() ? "no message" : messages.shown;
    dialog.hide();
    return milliseconds;
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
        const CapturedRun result = runner->Run(command, std::chrono::seconds(20), {});
        if (result.outcome != CapturedRun::Outcome::Exited)
            trouble = command.program + " did not run: " + result.standardError;
    };
    const std::string httpd = bundle + "/Apache2/bin/httpd.exe";
    const std::string php = bundle + "/PHP5/php.exe";
    const std::string mysqld = bundle + "/MySQL/bin/mysqld-nt.exe";
    // The checker alone runs the command line of a check, on the live file instead of its copy.
    const Command alone[] = {
        CheckerCommand(CheckedServer::Apache, bundle, bundle + "/Apache2/conf/httpd.conf"),
        CheckerCommand(CheckedServer::Php, bundle, bundle + "/PHP5/php.ini"),
        CheckerCommand(CheckedServer::MySQL, bundle, bundle + "/MySQL/my.ini"),
    };
    const struct
    {
        const char* name;
        Command startUp;
        const Command& alone;
        std::function<Status(FileBatch&)> change;
    } checks[] = {
        {"Apache", Checker(httpd, {"-v"}), alone[0],
            [&](FileBatch& batch) {
                return batch.RewriteDirective(
                    bundle + "\\Apache2\\conf\\httpd.conf", "ServerAdmin", "bench@localhost");
            }},
        {"PHP", Checker(php, {"-n", "-v"}), alone[1],
            [&](FileBatch& batch) {
                return batch.SetIniKey(bundle + "\\PHP5\\php.ini", "PHP", "max_execution_time", "31");
            }},
        {"MySQL", Checker(mysqld, {"--version"}), alone[2],
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

    // The dialogs themselves, offscreen: 确定 to the message with the check, and as a plain save.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    const auto codePage = MakeTextCodePage("UTF-8");
    LastMessage messages;
    NoLauncher launcher;
    NoRunner passwordRunner;
    std::string historyRoot;
    (void)MakePrivateFolder(TemporaryFolderRoot(), "larkspan-bench-history-", historyRoot);
    SettingsHistory history(historyRoot);
    SafeSaveServices services {checker, history, {}};
    for (int entry = 0; entry < 20; ++entry) {
        FileBatch batch(files);
        std::string name;
        if (!batch.Restore(bundle + "\\Larkspan.ini", "; entry " + std::to_string(entry) + "\n").ok()
            || !history.Record(batch, "bench", {}, name).ok())
            std::puts("(the history could not be filled)");
    }
    const std::vector<std::string> touched {bundle + "/Larkspan.ini", bundle + "/Apache2/conf/httpd.conf",
        bundle + "/Apache2/conf/vhosts.conf", bundle + "/PHP5/php.ini", bundle + "/MySQL/my.ini"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const std::string& path : touched) {
        std::string bytes;
        bool missing = false;
        const bool read = files.ReadFile(path, bytes, missing).ok();
        saved.emplace_back(path, read ? std::optional(bytes) : std::nullopt);
    }
    const auto box = [](QDialog& dialog, const char* name, const std::string& value) {
        dialog.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromStdString(value));
    };
    const DialogRound dialogs[] = {
        {"Apache", [&](SafeSaveServices* with) { return new fapache(files, messages, *codePage, with); },
            [](QDialog& dialog) { static_cast<fapache&>(dialog).Form_Load(); },
            [&](QDialog& dialog, int round) {
                box(dialog, "admin", "bench" + std::to_string(round) + "@localhost");
            },
            alone[0]},
        {"PHP", [&](SafeSaveServices* with) { return new fphp(files, messages, *codePage, with); },
            [](QDialog& dialog) { static_cast<fphp&>(dialog).Form_Load(); },
            [&](QDialog& dialog, int round) { box(dialog, "max_time", std::to_string(31 + round)); },
            alone[1]},
        {"MySQL",
            [&](SafeSaveServices* with) {
                return new fmysql(files, launcher, messages, passwordRunner, *codePage, with);
            },
            [](QDialog& dialog) { static_cast<fmysql&>(dialog).Form_Load(); },
            [&](QDialog& dialog, int round) { box(dialog, "connections", std::to_string(101 + round)); },
            alone[2]},
        {"站点管理", [&](SafeSaveServices* with) { return new zhanform(files, messages, *codePage, with); },
            [](QDialog& dialog) { static_cast<zhanform&>(dialog).Form_Load(); },
            [&](QDialog& dialog, int round) {
                dialog.findChild<QPlainTextEdit*>(QStringLiteral("host"))
                    ->setPlainText(QString::fromStdString("# bench " + std::to_string(round) + "\n"));
            },
            alone[0]},
    };
    std::printf(
        "\n确定 to the message in each dialog, %d rounds, milliseconds (median / lowest); added: the\n"
        "checked save's median less the plain one's, against the checker alone in the same rounds\n",
        rounds);
    std::printf("%-10s %18s %18s %18s %10s %8s\n", "dialog", "plain save", "checked save", "checker alone",
        "added", "ratio");
    for (const DialogRound& round : dialogs) {
        const std::unique_ptr<QDialog> plain(round.make(nullptr));
        const std::unique_ptr<QDialog> checked(round.make(&services));
        // Only the save is timed; each round opens the dialog afresh and changes one value.
        std::vector<double> samples[3];
        for (int i = 0; i < rounds; ++i) {
            for (QDialog* dialog : {plain.get(), checked.get()}) {
                round.load(*dialog);
                dialog->show();
                // A value of its own in every round of both kinds: each 确定 has something to write.
                round.edit(*dialog, 2 * i + (dialog == checked.get() ? 1 : 0));
                samples[dialog == checked.get() ? 1 : 0].push_back(SaveToMessage(*dialog, messages, trouble));
            }
            const auto start = Clock::now();
            run(round.alone);
            samples[2].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        Figures figures[3];
        for (int kind = 0; kind < 3; ++kind) {
            std::sort(samples[kind].begin(), samples[kind].end());
            figures[kind] = {samples[kind][samples[kind].size() / 2], samples[kind].front()};
        }
        const double added = figures[1].median - figures[0].median;
        std::printf("%-10s %8.1f / %7.1f %8.1f / %7.1f %8.1f / %7.1f %10.1f %7.2fx\n", round.name,
            figures[0].median, figures[0].lowest, figures[1].median, figures[1].lowest, figures[2].median,
            figures[2].lowest, added, added / figures[2].median);
        if (!trouble.empty())
            std::printf("  (%s)\n", trouble.c_str());
        trouble.clear();
    }
    for (const auto& [path, bytes] : saved) {
        if (bytes)
            (void)files.ReplaceFile(path, *bytes);
        else
            (void)files.RemoveFile(path);
    }
    (void)RemoveTree(historyRoot);

    if (!made.empty())
        (void)RemoveTree(made);
    return 0;
}
