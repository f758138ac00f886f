// The panel's service control and launcher against a real demo bundle: Apache with mod_php and
// MariaDB, on free ports, in a folder whose path holds blanks.
#include "fake_messages.h"
#include "file_contents.h"
#include "launcher.h"
#include "process_list.h"
#include "service_control.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
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

bool WaitFor(const std::function<bool()>& condition, int seconds = 60)
{
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
        ReapOrphans();
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

/// A TCP port nobody listens on at the moment.
int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(address.sin_port);
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

/// The whole HTTP response (status line, headers, body), or empty when nothing answers.
std::string HttpGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    timeval timeout {10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t got = 0;
            while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
                response.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return response;
}

/// Runs a program without a shell and returns its exit status and output (stdout and stderr).
std::pair<int, std::string> RunProgram(std::vector<std::string> words)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {-1, "pipe failed"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string output;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

/// Pids of running (not zombie) processes named `name` whose command line mentions `marker`.
std::vector<pid_t> ProcessesOf(const std::string& name, const std::string& marker)
{
    std::vector<pid_t> pids;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string comm = FileContents(entry.path() / "comm");
        if (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
        const std::string commandLine = FileContents(entry.path() / "cmdline");
        if (comm == name && commandLine.find(marker) != std::string::npos)
            pids.push_back(std::stoi(pid));
    }
    return pids;
}

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
        std::string pattern = (fs::temp_directory_path() / "larkspan servers XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        s_root = pattern;
        fs::permissions(s_root, fs::perms(0755));
        s_bundle = s_root / "demo bundle";
        s_apachePort = FreePort();
        s_mysqlPort = FreePort();
        while (s_mysqlPort == s_apachePort)
            s_mysqlPort = FreePort();
        const auto [status, output] = RunProgram({LARKSPAN_SOURCE_DIR "/bundle/make-bundle",
            s_bundle.string(), "--apache-port", std::to_string(s_apachePort), "--mysql-port",
            std::to_string(s_mysqlPort), "--build", LARKSPAN_BUILD_DIR, "--no-desktop-entries"});
        ASSERT_EQ(status, 0) << output;
    }

    static void TearDownTestSuite()
    {
        if (!s_root.empty())
            fs::remove_all(s_root);
    }

    void SetUp() override
    {
        ASSERT_TRUE(fs::exists(s_bundle / "Larkspan.ini")) << "the bundle was not made";
        m_launcher = MakeSystemLauncher(s_bundle.string(), Log().string());
        m_control = std::make_unique<ServiceControl>(*m_launcher, m_messages,
            ServiceControl::Hooks {
                [this](std::string_view message) {
                    m_log.push_back({std::string(message), Clock::now()});
                },
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
        RunProgram({(s_bundle / "bin/net").string(), "stop", "Apache2"});
        RunProgram({(s_bundle / "bin/net").string(), "stop", "MySQL"});
        for (const char* name : {"httpd.exe", "mysqld-nt.exe"}) {
            for (const pid_t pid : ProcessesOf(name, s_bundle.string()))
                ::kill(pid, SIGTERM);
        }
        const bool gone = WaitFor([] { return BundleProcesses().empty(); }, 60);
        for (const pid_t pid : BundleProcesses())
            ::kill(pid, SIGKILL);
        EXPECT_TRUE(gone) << "servers of the bundle had to be killed";
        ReapOrphans();
    }

    static std::vector<pid_t> BundleProcesses()
    {
        auto pids = ProcessesOf("httpd.exe", s_bundle.string());
        const auto mysql = ProcessesOf("mysqld-nt.exe", s_bundle.string());
        pids.insert(pids.end(), mysql.begin(), mysql.end());
        return pids;
    }
    static fs::path Log() { return s_bundle / "Apache2/logs/services.log"; }

    static bool ApacheAnswers() { return HttpGet(s_apachePort, "/").find(" 200 ") != std::string::npos; }
    static bool MySqlAnswers()
    {
        return RunProgram(
                   {(s_bundle / "MySQL/bin/mysql.exe").string(), "-uroot", "-pqlwv", "-N", "-e", "SELECT 1"})
                   .first
            == 0;
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const auto& line : m_log)
            messages.push_back(line.message);
        return messages;
    }

    static inline fs::path s_root;
    static inline fs::path s_bundle;
    static inline int s_apachePort = 0;
    static inline int s_mysqlPort = 0;

    FakeMessages m_messages;
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
    fs::rename(net, s_root / "net.away");
    m_control->Restart(ServiceKind::MySQL);
    fs::rename(s_root / "net.away", net);
    EXPECT_EQ(m_messages.shown, std::vector<std::string> {"net: not found in " + s_bundle.string() + "/bin"});
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(m_eventRounds, 0);

    // The server binary: the stand-in runs and the bundle's log names what is missing.
    const fs::path httpd = s_bundle / "Apache2/bin/httpd.exe";
    fs::rename(httpd, s_root / "httpd.away");
    const std::size_t logSize = FileContents(Log()).size();
    m_control->Start(ServiceKind::Apache);
    const bool logged = WaitFor(
        [&] { return FileContents(Log()).find("httpd.exe is missing", logSize) != std::string::npos; }, 20);
    fs::rename(s_root / "httpd.away", httpd);
    EXPECT_TRUE(logged) << FileContents(Log());
    EXPECT_TRUE(BundleProcesses().empty());
}

} // namespace
} // namespace larkspan
