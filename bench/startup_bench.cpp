// Start-up of the main window to its first two log lines against a minimal Qt Widgets program
// (one list and a notification icon), resident memory of both, idle CPU with the window hidden,
// and the event log's append time as it grows to 100,000 lines. Runs itself as the child
// programs; offscreen.
#include "app/launch_commands.h"
#include "app/widgets/form1.h"
#include "config/disk_config_files.h"
#include "platform/instance_guard.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"
#include "safety/settings_history.h"
#include "ui/message_boxes.h"
#include "ui/widgets/program_icon.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace larkspan;
using Clock = std::chrono::steady_clock;

long PeakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

double CpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class PrintedMessages final : public MessageBoxes
{
public:
    void Inform(const std::string& text) override { std::fprintf(stderr, "message: %s\n", text.c_str()); }
    bool Confirm(const std::string& text) override
    {
        Inform(text);
        return false;
    }
};

class NoDialogs final : public DialogHost
{
public:
    void ShowApacheSettings() override { }
    void ShowPhpSettings() override { }
    void ShowMySqlSettings() override { }
    void ShowSiteManagement() override { }
    void ShowAbout() override { }
};

// The real platform, as main.cpp wires it.
struct RealWindow
{
    DiskConfigFiles files {"/tmp"};
    std::unique_ptr<ProcessList> processes = MakeSystemProcessList();
    std::unique_ptr<Launcher> launcher = MakeSystemLauncher("/tmp", "");
    std::unique_ptr<InstanceGuard> instance
        = MakeSystemInstanceGuard("larkspan-bench-" + std::to_string(::getpid()));
    std::unique_ptr<TcpListeners> listeners = MakeSystemTcpListeners();
    std::unique_ptr<TextCodePage> codePage = MakeSystemTextCodePage();
    PrintedMessages messages;
    NoDialogs dialogs;
    SettingsHistory history {"/tmp"};
    Form1 form {Form1Deps {
        files, *processes, *launcher, messages, dialogs, *instance, *listeners, *codePage, history}};
};

void Ready()
{
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
}

int ChildForm(int argc, char** argv)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    RealWindow window;
    if (!window.form.Form_Load())
        return 1;
    if (window.form.findChild<QListWidget*>("List1")->count() == 2)
        Ready();
    std::printf("rss_kib %ld\n", PeakResidentKiB());
    return 0;
}

int ChildMinimal(int argc, char** argv)
{
    QApplication application(argc, argv);
    QListWidget list;
    list.addItem("line");
    QSystemTrayIcon icon(ProgramIcon());
    icon.show();
    list.show();
    Ready();
    std::printf("rss_kib %ld\n", PeakResidentKiB());
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Times each tick of the timer it watches, as the event loop delivers it.
class TimedTicks final : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Timer)
            return false;
        // QObject::event passes no filters: the tick runs once, here.
        const auto start = Clock::now();
        watched->event(event);
        m_ticks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        return true;
    }
    double MedianMs() const { return Median(m_ticks); }
    std::size_t count() const { return m_ticks.size(); }

private:
    std::vector<double> m_ticks;
};

int ChildIdle(int argc, char** argv, int seconds)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    RealWindow window;
    window.form.Form_Load();
    std::vector<double> ticks;
    for (int i = 0; i < 101; ++i) {
        const auto start = Clock::now();
        window.form.Timer1_Timer();
        ticks.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ticks.begin(), ticks.end());
    const double tickMs = ticks[ticks.size() / 2];
    // The ticks as they come while the window idles, a second apart: caches cold again each time.
    TimedTicks idleTicks;
    window.form.findChild<QTimer*>("Timer1")->installEventFilter(&idleTicks);
    const double cpuBefore = CpuSeconds();
    QTimer::singleShot(seconds * 1000, &application, &QCoreApplication::quit);
    application.exec();
    const double cpuPerSecondMs = 1000.0 * (CpuSeconds() - cpuBefore) / seconds;
    std::printf("idle, window hidden, %d s: CPU %.3f ms per second; one tick %.3f ms; ratio %.2f\n", seconds,
        cpuPerSecondMs, tickMs, cpuPerSecondMs / tickMs);
    const double idleTickMs = idleTicks.MedianMs();
    std::printf(
        "  the idle ticks themselves (%zu, a second apart): %.3f ms each; CPU per second = %.2fx one\n",
        idleTicks.count(), idleTickMs, cpuPerSecondMs / idleTickMs);
    return 0;
}

int ChildLog(int argc, char** argv)
{
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    RealWindow window;
    window.form.Form_Load();
    window.form.show();
    auto* list = window.form.findChild<QListWidget*>("List1");
    std::printf(
        "event log, window shown: ms per 10,000 appended lines (each batch followed by a repaint):\n ");
    for (int batch = 0; batch < 10; ++batch) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 10000; ++i)
            window.form.AppendLogLine("Apache已经启动...    ");
        application.processEvents();
        list->repaint();
        std::printf(" %.1f", timer.nsecsElapsed() / 1e6);
    }
    QElapsedTimer timer;
    timer.start();
    list->scrollToBottom();
    application.processEvents();
    list->repaint();
    std::printf(
        "\n  %d lines; scroll to the end and repaint: %.2f ms\n", list->count(), timer.nsecsElapsed() / 1e6);
    return 0;
}

struct Run
{
    double readyMs = 0;
    long rssKiB = 0;
};

Run Spawn(const char* self, const char* mode)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    ::posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string program = self;
    std::string argument = mode;
    char* argv[] = {program.data(), argument.data(), nullptr};
    Run run;
    const auto start = Clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, self, &actions, nullptr, argv, environ) != 0)
        return {};
    ::close(fds[1]);
    std::string output;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        if (run.readyMs == 0 && std::string_view(buffer, got).find("ready") != std::string_view::npos)
            run.readyMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        output.append(buffer, got);
    }
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    ::posix_spawn_file_actions_destroy(&actions);
    const auto at = output.find("rss_kib ");
    if (at != std::string::npos)
        run.rssKiB = std::strtol(output.c_str() + at + 8, nullptr, 10);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QT_LOGGING_RULES", "qt.core.qobject.connect=false", 1);
    if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
        static char runtime[] = "/tmp/larkspan-bench-XXXXXX";
        if (::mkdtemp(runtime) != nullptr)
            ::setenv("XDG_RUNTIME_DIR", runtime, 1);
    }
    if (argc > 1 && std::strcmp(argv[1], "form") == 0)
        return ChildForm(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "minimal") == 0)
        return ChildMinimal(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "log") == 0)
        return ChildLog(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "idle") == 0)
        return ChildIdle(argc, argv, argc > 2 ? std::atoi(argv[2]) : 60);

    const char* self = "/proc/self/exe";
    std::vector<double> formMs, minimalMs, formRss, minimalRss;
    Spawn(self, "form"); // warm the file cache
    Spawn(self, "minimal");
    for (int i = 0; i < 15; ++i) {
        const Run form = Spawn(self, "form");
        const Run minimal = Spawn(self, "minimal");
        formMs.push_back(form.readyMs);
        minimalMs.push_back(minimal.readyMs);
        formRss.push_back(form.rssKiB / 1024.0);
        minimalRss.push_back(minimal.rssKiB / 1024.0);
    }
    std::printf("start-up to two log lines (median of 15): %.1f ms; minimal Qt program to shown: %.1f ms; "
                "ratio %.2f\n",
        Median(formMs), Median(minimalMs), Median(formMs) / Median(minimalMs));
    std::printf("peak resident memory: %.1f MiB; minimal Qt program: %.1f MiB; ratio %.2f\n", Median(formRss),
        Median(minimalRss), Median(formRss) / Median(minimalRss));
    std::fflush(stdout);

    const char* idleSeconds = std::getenv("LARKSPAN_BENCH_IDLE_SECONDS");
    std::string idleArgument = idleSeconds ? idleSeconds : "60";
    std::string program = "/proc/self/exe";
    for (const char* mode : {"log", "idle"}) {
        std::string argument = mode;
        char* childArgv[] = {program.data(), argument.data(), idleArgument.data(), nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, childArgv, environ) == 0)
            ::waitpid(pid, nullptr, 0);
    }
    return 0;
}
