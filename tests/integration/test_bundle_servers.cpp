// The panel's service control and launcher against a real demo bundle: Apache with mod_php and
// MariaDB, on free ports, in a folder whose path holds blanks.
#include "app/server_diagnostics.h"
#include "app/service_control.h"
#include "app/status_rules.h"
#include "config/disk_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"
#include "support/bundle_fixture.h"
#include "support/file_contents.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void ReapOrphans()
{
    while (::waitpid(-1, nullptr, WNOHANG) > 0) { }
}

// Polls while reaping: the servers' daemons come back to this process when they leave their parent.
bool WaitFor(const std::function<bool()>& condition, int seconds = 60)
{
    return test::WaitFor(condition, seconds, ReapOrphans);
}

/// Holds a port the way another server would.
class PortBlocker final
{
public:
    explicit PortBlocker(int port)
        : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        const int yes = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(port));
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::listen(m_fd, 4) == 0;
    }
    ~PortBlocker() { ::close(m_fd); }
    PortBlocker(const PortBlocker&) = delete;
    PortBlocker& operator=(const PortBlocker&) = delete;
    bool ok() const { return m_ok; }

private:
    int m_fd;
    bool m_ok = false;
};

using test::HttpGet;
using test::ProcessesOf;
using test::RunProgram;

struct LogLine
{
    std::string message;
    Clock::time_point time;
};

class BundleServersTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Daemons that leave their parent come back to this process, which reaps them; otherwise
        // a finished server could linger as a zombie under its old name.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        s_demo = std::make_unique<test::TemporaryBundle>("demo bundle", std::vector<std::string> {});
        ASSERT_TRUE(s_demo->made()) << s_demo->makeOutput();
        s_bundle = s_demo->path();
        s_apachePort = s_demo->apachePort();
        s_mysqlPort = s_demo->mysqlPort();
    }

    static void TearDownTestSuite()
    {
        s_demo.reset();
        ReapOrphans();
    }

    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(s_bundle / "Larkspan.ini")) << "the bundle was not made";
        m_launcher = MakeSystemLauncher(s_bundle.string(), Log().string());
        m_control = std::make_unique<ServiceControl>(*m_launcher, m_messages,
            ServiceControl::Hooks {
                [this](std::string_view message) { Log(message); },
                [this] {
                    ++m_eventRounds;
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                },
                [] { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); },
            });
    }

    // Whatever a test did, no server of the bundle outlives it.
    void TearDown() override
    {
        EXPECT_TRUE(s_demo->StopServers(ReapOrphans)) << "servers of the bundle had to be killed";
        ReapOrphans();
    }

    static std::vector<pid_t> BundleProcesses() { return s_demo->Servers(); }
    static fs::path Log() { return s_bundle / "Apache2/logs/services.log"; }

    static bool ApacheAnswers() { return HttpGet(s_apachePort, "/").find(" 200 ") != std::string::npos; }
    static bool MySqlAnswers()
    {
        return RunProgram(
                   {(s_bundle / "MySQL/bin/mysql.exe").string(), "-uroot", "-pqlwv", "-N", "-e", "SELECT 1"})
                   .exitCode
            == 0;
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const auto& line : m_log)
            messages.push_back(line.message);
        return messages;
    }

    // The panel's monitor, diagnostics and service commands on the bundle, ticked by the test on a
    // clock it can move ahead instead of waiting out a bound.
    struct Panel
    {
        explicit Panel(BundleServersTest& test)
            : diagnostics(files, *listeners, *codePage,
                {[&test](std::string_view message, std::string_view) { test.Log(message); },
                    [this] { return Now(); }})
            , monitor(*processes,
                  {[](ServiceKind, ServiceState) {}, [&test](std::string_view message) { test.Log(message); },
                      [this](ServiceKind kind, ServiceState state) { diagnostics.Observed(kind, state); }})
            , control(*test.m_launcher, test.m_messages,
                  {[&test](std::string_view message) { test.Log(message); },
                      [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); },
                      [this] { return Now(); }, &diagnostics})
        {
            monitor.Probe();
        }
        double Now() const
        {
            return std::chrono::duration<double>(Clock::now().time_since_epoch()).count() + skipped;
        }

        DiskConfigFiles files {s_bundle.string()};
        std::unique_ptr<ProcessList> processes = MakeSystemProcessList();
        std::unique_ptr<TcpListeners> listeners = MakeSystemTcpListeners();
        std::unique_ptr<TextCodePage> codePage = MakeSystemTextCodePage();
        double skipped = 0;
        ServerDiagnostics diagnostics;
        StatusMonitor monitor;
        ServiceControl control;
    };

    void Log(std::string_view message) { m_log.push_back({std::string(message), Clock::now()}); }

    // Whether the log holds a line containing `text`.
    bool Logged(const std::string& text) const
    {
        const auto messages = Messages();
        return std::any_of(messages.begin(), messages.end(),
            [&text](const std::string& m) { return m.find(text) != std::string::npos; });
    }

    static inline std::unique_ptr<test::TemporaryBundle> s_demo;
    static inline fs::path s_bundle;
    static inline int s_apachePort = 0;
    static inline int s_mysqlPort = 0;

    FakeMessageBoxes m_messages;
    std::unique_ptr<Launcher> m_launcher;
    std::unique_ptr<ServiceControl> m_control;
    std::vector<LogLine> m_log;
    int m_eventRounds = 0;
};

TEST_F(BundleServersTest, StartServeQueryRestartAndStop)
{
    const auto processes = MakeSystemProcessList();
    m_control->Start(ServiceKind::Apache);
    m_control->Start(ServiceKind::MySQL);
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_EQ(Messages(), (std::vector<std::string> {"Apache正在启动...    ", "MySQL正在启动...    "}));
    ASSERT_TRUE(WaitFor([&] {
        return processes->CountProcesses("httpd.exe") > 0 && processes->CountProcesses("mysqld-nt.exe") > 0
            && !ProcessesOf("httpd.exe", s_bundle.string()).empty()
            && !ProcessesOf("mysqld-nt.exe", s_bundle.string()).empty();
    })) << FileContents(Log());
    ASSERT_TRUE(WaitFor(ApacheAnswers)) << FileContents(Log());

    EXPECT_NE(HttpGet(s_apachePort, "/").find("<title>LarkspanAdmin</title>"), std::string::npos);
    const std::string page = HttpGet(s_apachePort, "/hello.php");
    EXPECT_NE(page.find("answers: 42"), std::string::npos) << page;
    EXPECT_NE(page.find("mysqli: loaded"), std::string::npos) << page;

    ASSERT_TRUE(WaitFor(MySqlAnswers)) << FileContents(Log());
    const auto [status, output] = RunProgram({(s_bundle / "MySQL/bin/mysql.exe").string(), "-uroot", "-pqlwv",
        "-N", "-e", "SELECT 6*7, @@port, @@datadir"});
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(
        output, "42\t" + std::to_string(s_mysqlPort) + "\t" + (s_bundle / "MySQL/data/").string() + "\n");

    // phpMyAdmin reaches the bundle's server with the bundle's own settings (logged in, not a login page).
    const std::string admin = HttpGet(s_apachePort, "/phpMyAdmin/");
    EXPECT_NE(admin.find(" 200 "), std::string::npos) << admin.substr(0, 300);
    EXPECT_NE(admin.find(" / localhost | phpMyAdmin"), std::string::npos) << admin.substr(0, 2000);
    EXPECT_TRUE(fs::exists(s_bundle / "www/phpMyAdmin/libraries/config.default.php"));

    // Restart: stop line, at least five seconds with events processed, start line, a new server.
    const std::string oldPid = FileContents(s_bundle / "Apache2/logs/httpd.pid");
    m_log.clear();
    m_control->Restart(ServiceKind::Apache);
    ASSERT_EQ(Messages(), (std::vector<std::string> {"Apache正在停止...    ", "Apache正在启动...    "}));
    EXPECT_GE(m_log[1].time - m_log[0].time, std::chrono::seconds(5));
    EXPECT_GT(m_eventRounds, 10);
    ASSERT_TRUE(WaitFor([&] {
        return ApacheAnswers() && FileContents(s_bundle / "Apache2/logs/httpd.pid") != oldPid;
    })) << FileContents(Log());

    // A second start of a running server is harmless.
    m_control->Start(ServiceKind::MySQL);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(ProcessesOf("mysqld-nt.exe", s_bundle.string()).size(), 1u);

    m_log.clear();
    m_control->Stop(ServiceKind::Apache);
    m_control->Stop(ServiceKind::MySQL);
    EXPECT_EQ(Messages(), (std::vector<std::string> {"Apache正在停止...    ", "MySQL正在停止...    "}));
    EXPECT_TRUE(WaitFor([] { return BundleProcesses().empty(); })) << FileContents(Log());
    // MariaDB went down cleanly, not killed.
    const fs::path mysqlErrors = s_bundle / "MySQL/data/mysql.err";
    EXPECT_TRUE(WaitFor([&] {
        return FileContents(mysqlErrors).find("mysqld-nt.exe: Shutdown complete") != std::string::npos;
    })) << FileContents(mysqlErrors);

    // Stopping stopped servers is harmless too.
    m_control->Stop(ServiceKind::Apache);
    m_control->Stop(ServiceKind::MySQL);
    EXPECT_TRUE(WaitFor([] {
        const std::string log = FileContents(Log());
        return log.find("Apache2 is not running.") != std::string::npos
            && log.find("MySQL is not running.") != std::string::npos;
    })) << FileContents(Log());
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(BundleServersTest, TakenPortKeepsTheServerDownAndTheLogSaysWhy)
{
    struct Case
    {
        ServiceKind kind;
        int port;
        const char* failure;
        const char* cause;
    };
    const Case cases[] = {
        {ServiceKind::Apache, s_apachePort, "Apache2 did not start", "Address already in use"},
        {ServiceKind::MySQL, s_mysqlPort, "MySQL did not start", "Address already in use"},
    };
    for (const Case& c : cases) {
        const PortBlocker blocker(c.port);
        ASSERT_TRUE(blocker.ok());
        const std::size_t logSize = FileContents(Log()).size();
        m_control->Start(c.kind);
        ASSERT_TRUE(WaitFor([&] {
            return FileContents(Log()).find(c.failure, logSize) != std::string::npos;
        })) << FileContents(Log());
        const std::string log = FileContents(Log()).substr(logSize);
        EXPECT_NE(log.find(c.cause), std::string::npos) << log;
        EXPECT_TRUE(BundleProcesses().empty());
    }
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(BundleServersTest, MissingProgramsAreNamed)
{
    // The stand-in itself: the panel names it and logs nothing.
    const fs::path net = s_bundle / "bin/net";
    fs::rename(net, s_bundle.parent_path() / "net.away");
    m_control->Restart(ServiceKind::MySQL);
    fs::rename(s_bundle.parent_path() / "net.away", net);
    EXPECT_EQ(m_messages.shown,
        std::vector<std::string> {"net: 在 " + s_bundle.string() + "/bin 中找不到这个程序"});
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(m_eventRounds, 0);

    // The server binary: the stand-in runs and the bundle's log names what is missing.
    const fs::path httpd = s_bundle / "Apache2/bin/httpd.exe";
    fs::rename(httpd, s_bundle.parent_path() / "httpd.away");
    const std::size_t logSize = FileContents(Log()).size();
    m_control->Start(ServiceKind::Apache);
    const bool logged = WaitFor(
        [&] { return FileContents(Log()).find("httpd.exe is missing", logSize) != std::string::npos; }, 20);
    fs::rename(s_bundle.parent_path() / "httpd.away", httpd);
    EXPECT_TRUE(logged) << FileContents(Log());
    EXPECT_TRUE(BundleProcesses().empty());
}

/// A folder the bundle's servers cannot write to, even as root (immutable), until destroyed.
class UnwritableFolder final
{
public:
    explicit UnwritableFolder(fs::path folder)
        : m_folder(std::move(folder))
    {
        if (::geteuid() == 0)
            m_ok = RunProgram({"/usr/bin/chattr", "+i", m_folder.string()}).exitCode == 0;
        else
            m_ok = ::chmod(m_folder.c_str(), 0555) == 0;
    }
    ~UnwritableFolder()
    {
        if (::geteuid() == 0)
            RunProgram({"/usr/bin/chattr", "-i", m_folder.string()});
        else
            ::chmod(m_folder.c_str(), 0755);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    bool ok() const { return m_ok; }

private:
    fs::path m_folder;
    bool m_ok = false;
};

TEST_F(BundleServersTest, DiagnosticsNameThePortsOwnerAndThenApachesOwnReason)
{
    const PortBlocker blocker(s_apachePort);
    ASSERT_TRUE(blocker.ok());
    Panel panel(*this);
    m_log.clear();
    const std::size_t logSize = FileContents(Log()).size();
    panel.control.Start(ServiceKind::Apache);
    EXPECT_EQ(Messages(),
        (std::vector<std::string> {"Apache正在启动...    ",
            "端口 " + std::to_string(s_apachePort) + " 已被 test_bundle_servers (PID "
                + std::to_string(::getpid()) + ") 占用    "}));

    ASSERT_TRUE(WaitFor([&] {
        return FileContents(Log()).find("Apache2 did not start", logSize) != std::string::npos;
    })) << FileContents(Log());
    panel.monitor.Tick();
    EXPECT_FALSE(Logged("Apache在10秒内没有启动")) << "before the bound";
    panel.skipped += 10;
    panel.monitor.Tick();
    const auto messages = Messages();
    const auto headline = std::find(messages.begin(), messages.end(), "Apache在10秒内没有启动：    ");
    ASSERT_NE(headline, messages.end()) << FileContents(Log());
    EXPECT_TRUE(std::any_of(headline, messages.end(), [](const std::string& line) {
        return line.find("Address already in use") != std::string::npos;
    })) << FileContents(Log());
}

TEST_F(BundleServersTest, DiagnosticsGiveMariaDbsOwnReasonForAFailedStart)
{
    const UnwritableFolder data(s_bundle / "MySQL/data");
    if (!data.ok())
        GTEST_SKIP() << "cannot make the data folder unwritable here";
    Panel panel(*this);
    const std::size_t logSize = FileContents(Log()).size();
    panel.control.Start(ServiceKind::MySQL);
    ASSERT_TRUE(WaitFor([&] {
        return FileContents(Log()).find("MySQL did not start", logSize) != std::string::npos;
    })) << FileContents(Log());
    panel.monitor.Tick();
    panel.skipped += 30;
    panel.monitor.Tick();
    EXPECT_TRUE(Logged("MySQL在30秒内没有启动：")) << FileContents(Log());
    // MariaDB's own words: it cannot even create its error file there, so they come through the
    // services log.
    EXPECT_TRUE(Logged(::geteuid() == 0 ? "Operation not permitted" : "Permission denied"))
        << FileContents(Log());
    EXPECT_TRUE(Logged("Can't create")) << FileContents(Log());
}

TEST_F(BundleServersTest, AStopFromThePanelIsNotExplainedButAKilledMariaDbIs)
{
    Panel panel(*this);
    const auto startAndSettle = [&] {
        panel.control.Start(ServiceKind::MySQL);
        ASSERT_TRUE(WaitFor(MySqlAnswers)) << FileContents(Log());
        panel.monitor.Tick();
        panel.skipped += 30;
        panel.monitor.Tick();
    };
    // Gone as the monitor counts: an ending process keeps its name a moment after its command line.
    const auto gone
        = [&] { return BundleProcesses().empty() && panel.processes->CountProcesses("mysqld-nt.exe") == 0; };
    startAndSettle();
    m_log.clear();
    panel.control.Stop(ServiceKind::MySQL);
    ASSERT_TRUE(WaitFor(gone)) << FileContents(Log());
    panel.monitor.Tick();
    EXPECT_EQ(Messages(), (std::vector<std::string> {"MySQL正在停止...    ", "MySQL已经停止...    "}));

    startAndSettle();
    // Something for MariaDB to write after the last tick: a refused login.
    const fs::path errors = s_bundle / "MySQL/data/mysql.err";
    const std::size_t errorsSize = FileContents(errors).size();
    EXPECT_NE(RunProgram({(s_bundle / "MySQL/bin/mysql.exe").string(), "-uroot", "-pwrong", "-e", "SELECT 1"})
                  .exitCode,
        0);
    ASSERT_TRUE(WaitFor([&] {
        return FileContents(errors).find("Access denied", errorsSize) != std::string::npos;
    })) << FileContents(errors);
    m_log.clear();
    for (const pid_t pid : ProcessesOf("mysqld-nt.exe", s_bundle.string()))
        ::kill(pid, SIGKILL);
    ASSERT_TRUE(WaitFor(gone));
    panel.monitor.Tick();
    const auto messages = Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0], "MySQL已经停止...    ");
    EXPECT_EQ(messages[1], "MySQL意外停止：    ");
    EXPECT_TRUE(Logged("[Warning] Access denied for user 'root'@'localhost' (using password: YES)    "))
        << FileContents(errors);
}

} // namespace
} // namespace larkspan
