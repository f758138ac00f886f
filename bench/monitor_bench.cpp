// One monitor tick (both servers counted) against one bare /proc scan and against two pgrep runs,
// the same tick with the server diagnostics following two running servers, and the lookup of a
// port's owners before a start; at the machine's own process count and with 1,000 extra sleeping
// processes.
#include "app/server_diagnostics.h"
#include "app/status_rules.h"
#include "config/disk_config_files.h"
#include "platform/process_list.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <signal.h>
#include <span>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MedianMilliseconds(const std::function<void()>& run, int repetitions)
{
    std::vector<double> samples;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        run();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool IsNumeric(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name; ++name)
        if (!std::isdigit(static_cast<unsigned char>(*name)))
            return false;
    return true;
}

// The floor: one pass over /proc reading every comm, nothing else.
int BareScan(const char* name)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    int count = 0;
    char path[300];
    char comm[64];
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumeric(entry->d_name))
            continue;
        std::snprintf(path, sizeof path, "%s/comm", entry->d_name);
        const int fd = ::openat(::dirfd(proc), path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const ssize_t got = ::read(fd, comm, sizeof comm - 1);
        ::close(fd);
        if (got > 0) {
            comm[got - 1] = '\0';
            count += std::strcmp(comm, name) == 0;
        }
    }
    ::closedir(proc);
    return count;
}

int ProcessCount()
{
    DIR* proc = ::opendir("/proc");
    int count = 0;
    while (const dirent* entry = ::readdir(proc))
        count += IsNumeric(entry->d_name);
    ::closedir(proc);
    return count;
}

void RunAndWait(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        ::waitpid(pid, nullptr, 0);
    ::posix_spawn_file_actions_destroy(&actions);
}

// The pretend servers run under names of their own, so that no monitor of another panel on the
// machine takes them for real ones; the tick counts them under the servers' names.
constexpr const char* kApacheStandIn = "bench-httpd";
constexpr const char* kMySqlStandIn = "bench-mysqld";

class StandInNames final : public larkspan::ProcessList
{
public:
    explicit StandInNames(larkspan::ProcessList& real)
        : m_real(real)
    { }
    int CountProcesses(std::string_view imageName) override
    {
        if (imageName == "httpd.exe")
            return m_real.CountProcesses(kApacheStandIn);
        if (imageName == "mysqld-nt.exe")
            return m_real.CountProcesses(kMySqlStandIn);
        return m_real.CountProcesses(imageName);
    }
    void CountEach(std::span<const std::string_view> imageNames, std::span<int> counts) override
    {
        std::vector<std::string_view> names(imageNames.begin(), imageNames.end());
        for (std::string_view& name : names)
            name = name == "httpd.exe" ? kApacheStandIn : name == "mysqld-nt.exe" ? kMySqlStandIn : name;
        m_real.CountEach(names, counts);
    }

private:
    larkspan::ProcessList& m_real;
};

pid_t SpawnSleeper(const char* program)
{
    char seconds[] = "600";
    char* argv[] = {const_cast<char*>(program), seconds, nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0 ? pid : 0;
}

// A bundle with the servers' error files, and both servers running under their stand-in names.
struct PretendBundle
{
    PretendBundle()
    {
        char pattern[] = "/tmp/larkspan-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        namespace fs = std::filesystem;
        fs::create_directories(folder + "/Apache2/logs");
        fs::create_directories(folder + "/MySQL/data");
        for (const char* file :
            {"/Apache2/logs/error.log", "/Apache2/logs/services.log", "/MySQL/data/mysql.err"})
            std::ofstream(folder + file) << std::string(100000, 'x') << '\n';
        std::ofstream(folder + "/MySQL/my.ini") << "[mysqld]\nport=3307\nlog-error=mysql.err\n";
        std::ofstream(folder + "/Larkspan.ini") << "[Apache]\nListen=8080\n";
        for (const char* name : {kApacheStandIn, kMySqlStandIn}) {
            fs::copy_file("/bin/sleep", folder + "/" + name);
            servers.push_back(SpawnSleeper((folder + "/" + name).c_str()));
        }
    }
    ~PretendBundle()
    {
        for (const pid_t pid : servers) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }

    std::string folder;
    std::vector<pid_t> servers;
};

// Today's tick against the same tick with the diagnostics following both running servers, each
// measured in turns so that drift of the machine touches both alike.
void MeasureDiagnostics(larkspan::ProcessList& list)
{
    using namespace larkspan;
    const PretendBundle bundle;
    StandInNames names(list);
    DiskConfigFiles files(bundle.folder);
    const auto listeners = MakeSystemTcpListeners();
    const auto codePage = MakeSystemTextCodePage();
    ServerDiagnostics diagnostics(
        files, *listeners, *codePage, {[](std::string_view, std::string_view) {}, [] { return 0.0; }});
    StatusMonitor today(names, {[](ServiceKind, ServiceState) {}, [](std::string_view) {}});
    StatusMonitor withDiagnostics(names,
        {[](ServiceKind, ServiceState) {}, [](std::string_view) {},
            [&diagnostics](ServiceKind kind, ServiceState state) { diagnostics.Observed(kind, state); }});
    today.Probe();
    withDiagnostics.Probe();
    if (withDiagnostics.Announced(ServiceKind::Apache) != Running
        || withDiagnostics.Announced(ServiceKind::MySQL) != Running)
        std::printf("  (the pretend servers were not seen running)\n");

    std::vector<double> bare;
    std::vector<double> diagnosed;
    for (int i = 0; i < 101; ++i) {
        bare.push_back(MedianMilliseconds([&today] { today.Tick(); }, 1));
        diagnosed.push_back(MedianMilliseconds([&withDiagnostics] { withDiagnostics.Tick(); }, 1));
    }
    std::sort(bare.begin(), bare.end());
    std::sort(diagnosed.begin(), diagnosed.end());
    const double todayTick = bare[bare.size() / 2];
    const double diagnosedTick = diagnosed[diagnosed.size() / 2];
    std::printf("  idle tick today  %8.3f ms\n", todayTick);
    std::printf("  with diagnostics %8.3f ms  = %.3fx today's tick (both servers running)\n", diagnosedTick,
        diagnosedTick / todayTick);
}

// The port-owner lookup of a start: once with this program listening on the port (every
// process's open files are looked at), once with nobody there (the socket tables only).
void MeasurePortLookup()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 1);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const auto port = ntohs(address.sin_port);
    const auto listeners = larkspan::MakeSystemTcpListeners();
    const double taken = MedianMilliseconds([&] { listeners->ListenersOn(port); }, 21);
    ::close(fd);
    const double free = MedianMilliseconds([&] { listeners->ListenersOn(port); }, 21);
    std::printf("  port owner       %8.3f ms  (port taken: sockets of every process looked at)\n", taken);
    std::printf("  port free        %8.3f ms\n", free);
}

void Measure(const char* label, larkspan::ProcessList& list)
{
    const int processes = ProcessCount();
    const double bare = MedianMilliseconds([] { BareScan("httpd.exe"); }, 101);
    using namespace larkspan;
    StatusMonitor monitor(list, {[](ServiceKind, ServiceState) {}, [](std::string_view) {}});
    monitor.Probe();
    const double tick = MedianMilliseconds([&monitor] { monitor.Tick(); }, 101);
    const double pgrep = MedianMilliseconds(
        [] {
            RunAndWait({"pgrep", "-x", "httpd.exe"});
            RunAndWait({"pgrep", "-x", "mysqld-nt.exe"});
        },
        21);
    std::printf("%s: %d processes\n", label, processes);
    std::printf("  bare scan        %8.3f ms  (%.2f us per process)\n", bare, 1000.0 * bare / processes);
    std::printf("  monitor tick     %8.3f ms  (%.2f us per process) = %.2fx one bare scan\n", tick,
        1000.0 * tick / processes, tick / bare);
    std::printf("  two pgrep runs   %8.3f ms  = tick is %.1fx faster\n", pgrep, pgrep / tick);
    MeasureDiagnostics(list);
    MeasurePortLookup();
}

} // namespace

int main()
{
    const auto list = larkspan::MakeSystemProcessList();
    Measure("own process count", *list);

    std::vector<pid_t> sleepers;
    for (int i = 0; i < 1000; ++i) {
        char program[] = "/bin/sleep";
        char seconds[] = "600";
        char* argv[] = {program, seconds, nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, program, nullptr, nullptr, argv, environ) == 0)
            sleepers.push_back(pid);
    }
    Measure("with 1,000 extra sleeping processes", *list);
    for (const pid_t pid : sleepers)
        ::kill(pid, SIGKILL);
    for (const pid_t pid : sleepers)
        ::waitpid(pid, nullptr, 0);
    return 0;
}
