// What the panel tells about a server it started or saw stop: the port's owner before a start, and
// the server's own new error lines after a failed start or an unexpected stop. Real files in a
// temporary bundle, fake port table and launcher, a clock the test moves.
#include "app/error_lines.h"
#include "app/server_diagnostics.h"
#include "config/disk_config_files.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_tcp_listeners.h"
#include "platform/text_code_page.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

class ServerDiagnosticsTest : public testing::Test
{
protected:
    ServerDiagnosticsTest()
    {
        fs::create_directories(m_dir / "Apache2/logs");
        fs::create_directories(m_dir / "MySQL/data");
        Write("Larkspan.ini", "[Apache]\nListen=8080\n[MySQL]\nport=9999\n");
        Write("MySQL/my.ini",
            "[client]\nport=1111\n[mysqld]\nport=3307\nlog-error=\"" + m_dir / "MySQL/data/mysql.err\"\n");
    }

    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir / name, std::ios::binary | std::ios::trunc) << text;
    }
    void Append(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir / name, std::ios::binary | std::ios::app) << text;
    }

    // What the monitor saw on a tick at the given time.
    void Tick(double at, ServiceKind kind, ServiceState state)
    {
        m_clock = at;
        m_diagnostics->Observed(kind, state);
    }

    // Creates the diagnostics once the bundle's files are in place, and the monitor's probe.
    void Make(ServiceState apache = Stopped, ServiceState mysql = Stopped)
    {
        m_diagnostics = std::make_unique<ServerDiagnostics>(m_files, m_listeners, *m_codePage,
            ServerDiagnostics::View {[this](std::string_view message, std::string_view source) {
                                         m_log.push_back(std::string(message));
                                         m_sources.push_back(std::string(source));
                                     },
                [this] { return m_clock; }});
        m_control = std::make_unique<ServiceControl>(m_launcher, m_messages,
            ServiceControl::Hooks {
                [this](std::string_view message) { m_log.push_back(std::string(message)); },
                [this] {
                    m_clock += 1;
                    if (m_duringPause)
                        m_duringPause();
                },
                [this] { return m_clock; }, m_diagnostics.get()});
        m_diagnostics->Observed(ServiceKind::Apache, apache);
        m_diagnostics->Observed(ServiceKind::MySQL, mysql);
    }

    test::TempDir m_dir;
    DiskConfigFiles m_files {m_dir.path()};
    FakeTcpListeners m_listeners;
    std::unique_ptr<TextCodePage> m_codePage = MakeTextCodePage("UTF-8");
    FakeLauncher m_launcher;
    FakeMessageBoxes m_messages;
    double m_clock = 0;
    std::function<void()> m_duringPause;
    std::vector<std::string> m_log;
    std::vector<std::string> m_sources;
    std::unique_ptr<ServerDiagnostics> m_diagnostics;
    std::unique_ptr<ServiceControl> m_control;
};

TEST_F(ServerDiagnosticsTest, TheProgramOnTheServersPortIsNamedAfterTheStartLine)
{
    struct Case
    {
        const char* name;
        ServiceKind kind;
        std::string larkspanIni;
        std::map<std::uint16_t, std::vector<TcpListener>> ports;
        std::vector<std::uint16_t> lookups;
        std::vector<std::string> log;
    };
    const std::string apacheStart = "Apache正在启动...    ";
    const std::string mysqlStart = "MySQL正在启动...    ";
    const std::string apacheIni = "[Apache]\nListen=8080\n";
    const Case cases[] = {
        {"another program", ServiceKind::Apache, apacheIni, {{8080, {{4242, "python3"}}}}, {8080},
            {apacheStart, "端口 8080 已被 python3 (PID 4242) 占用    "}},
        {"Listen with an address", ServiceKind::Apache, "[Apache]\nListen = [::1]:8081\n",
            {{8081, {{7, "nginx"}}}}, {8081}, {apacheStart, "端口 8081 已被 nginx (PID 7) 占用    "}},
        {"our own server is no conflict", ServiceKind::Apache, apacheIni,
            {{8080, {{10, "httpd.exe"}, {11, "httpd.exe"}}}}, {8080}, {apacheStart}},
        {"only the other program beside our own", ServiceKind::Apache, apacheIni,
            {{8080, {{10, "httpd.exe"}, {4242, "python3"}}}}, {8080},
            {apacheStart, "端口 8080 已被 python3 (PID 4242) 占用    "}},
        {"an owner out of sight", ServiceKind::Apache, apacheIni, {{8080, {{0, ""}}}}, {8080},
            {apacheStart, "端口 8080 已被一个无权查看的程序占用    "}},
        {"many owners", ServiceKind::Apache, apacheIni,
            {{8080, {{1, "nginx"}, {2, "nginx"}, {3, "nginx"}, {4, "nginx"}, {0, ""}}}}, {8080},
            {apacheStart, "端口 8080 已被 nginx (PID 1)、nginx (PID 2)、nginx (PID 3) 等程序占用    "}},
        {"nobody there", ServiceKind::Apache, apacheIni, {{8081, {{7, "nginx"}}}}, {8080}, {apacheStart}},
        {"no port to check", ServiceKind::Apache, "[Apache]\nListen=\n", {}, {}, {apacheStart}},
        {"MySQL's port is my.ini's, not Larkspan.ini's", ServiceKind::MySQL, apacheIni,
            {{3307, {{9, "mysqld"}}}, {9999, {{8, "other"}}}}, {3307},
            {mysqlStart, "端口 3307 已被 mysqld (PID 9) 占用    "}},
        {"our own MySQL is no conflict", ServiceKind::MySQL, apacheIni, {{3307, {{9, "mysqld-nt.exe"}}}},
            {3307}, {mysqlStart}},
        {"a name that would reverse, colour or split the line", ServiceKind::Apache, apacheIni,
            {{8080,
                {{66,
                    "\xE2\x80\xAE"
                    "exe.dptth\n\x1b[31mx\xC2\x85y"}}}},
            {8080}, {apacheStart, "端口 8080 已被 exe.dptth x y (PID 66) 占用    "}},
    };
    for (const Case& c : cases) {
        Write("Larkspan.ini", c.larkspanIni);
        m_listeners.ports = c.ports;
        m_listeners.lookups.clear();
        m_log.clear();
        Make();
        m_control->Start(c.kind);
        EXPECT_EQ(m_listeners.lookups, c.lookups) << c.name;
        EXPECT_EQ(m_log, c.log) << c.name;
    }

    // A start command that cannot be launched ends there: no port line either.
    m_log.clear();
    m_launcher.failWhen = [](const Command&) { return true; };
    m_listeners.ports = {{3307, {{9, "mysqld"}}}};
    m_control->Start(ServiceKind::MySQL);
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(m_messages.shown.size(), 1u);
}

TEST_F(ServerDiagnosticsTest, AStartThatBringsNothingUpIsExplainedAfterItsBound)
{
    struct Case
    {
        ServiceKind kind;
        double bound;
        std::string errorFile;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {ServiceKind::Apache, 10, "Apache2/logs/error.log",
            {"Apache在10秒内没有启动：    ", "[core:emerg] AH00526: Syntax error    ",
                "net: Apache2 did not start.    "}},
        {ServiceKind::MySQL, 30, "MySQL/data/mysql.err",
            {"MySQL在30秒内没有启动：    ", "[core:emerg] AH00526: Syntax error    ",
                "net: Apache2 did not start.    "}},
    };
    for (const Case& c : cases) {
        Append(c.errorFile, "[Sat Jan 06 09:00:00.000001 2024] [core:notice] [pid 1] before the start\n");
        Append("Apache2/logs/services.log", "2024-01-06 09:00:00 net: earlier\n");
        Make();
        m_clock = 100;
        m_control->Start(c.kind);
        m_log.clear();
        Append(c.errorFile,
            "[Sat Jan 06 09:00:01.000001 2024] [core:emerg] [pid 2:tid 3] AH00526: Syntax error\n");
        Append("Apache2/logs/services.log", "2024-01-06 09:00:02 net: Apache2 did not start.\n");
        Tick(101, c.kind, Stopped);
        Tick(100 + c.bound - 0.5, c.kind, Stopped);
        EXPECT_TRUE(m_log.empty()) << c.errorFile;
        Tick(100 + c.bound, c.kind, Stopped);
        EXPECT_EQ(m_log, c.log) << c.errorFile;
        EXPECT_EQ(m_sources.back(), m_dir / "Apache2/logs/services.log");
        // Said once.
        m_log.clear();
        Tick(200, c.kind, Stopped);
        EXPECT_TRUE(m_log.empty()) << c.errorFile;
    }
}

TEST_F(ServerDiagnosticsTest, AServerThatComesAndGoesAfterAStartIsExplainedAtOnce)
{
    Make();
    m_control->Start(ServiceKind::MySQL);
    Tick(1, ServiceKind::MySQL, Running);
    Append("MySQL/data/mysql.err", "2024-01-06  9:28:46 0 [ERROR] Aborting\n");
    m_log.clear();
    Tick(2, ServiceKind::MySQL, Stopped);
    EXPECT_EQ(m_log, (std::vector<std::string> {"MySQL启动后又停止：    ", "[ERROR] Aborting    "}));

    // One that stays up past its bound was a good start; its later stop is an unexpected one.
    m_control->Start(ServiceKind::Apache);
    Tick(3, ServiceKind::Apache, Running);
    Tick(13, ServiceKind::Apache, Running);
    m_log.clear();
    Tick(14, ServiceKind::Apache, Stopped);
    EXPECT_EQ(m_log, std::vector<std::string> {"Apache意外停止：错误输出中没有新的内容    "});
}

TEST_F(ServerDiagnosticsTest, AnUnexpectedStopShowsOnlyWhatWasWrittenSinceTheLastTick)
{
    Append("MySQL/data/mysql.err", "2024-01-06  9:00:00 0 [Note] ready for connections.\n");
    Make(Stopped, Running);
    Append("MySQL/data/mysql.err", "2024-01-06  9:00:01 0 [Warning] written before the last tick\n");
    Tick(1, ServiceKind::MySQL, Running);
    Append("MySQL/data/mysql.err", "2024-01-06  9:00:02 5 [ERROR] InnoDB: Database page corruption\r\n");
    Tick(2, ServiceKind::MySQL, Stopped);
    EXPECT_EQ(m_log,
        (std::vector<std::string> {"MySQL意外停止：    ", "[ERROR] InnoDB: Database page corruption    "}));
    EXPECT_EQ(m_sources.back(), m_dir / "MySQL/data/mysql.err");
}

TEST_F(ServerDiagnosticsTest, StopsThePanelAskedForAreNotExplained)
{
    Make(Running, Running);
    m_control->Stop(ServiceKind::Apache);
    Tick(1, ServiceKind::Apache, Running);
    Tick(2, ServiceKind::Apache, Stopped);

    // A restart: the old server may go during the pause or only after the new start was launched.
    struct Restart
    {
        ServiceState inThePause;
        std::vector<ServiceState> afterTheStart;
    };
    for (const Restart& restart :
        {Restart {Stopped, {Stopped, Running}}, Restart {Running, {Running, Stopped, Stopped, Running}}}) {
        Make(Stopped, Running);
        m_duringPause = [&] { m_diagnostics->Observed(ServiceKind::MySQL, restart.inThePause); };
        m_control->Restart(ServiceKind::MySQL);
        m_duringPause = nullptr;
        for (const ServiceState state : restart.afterTheStart)
            Tick(m_clock + 1, ServiceKind::MySQL, state);
        Tick(m_clock + 40, ServiceKind::MySQL, Running);
    }
    EXPECT_EQ(m_log,
        (std::vector<std::string> {"Apache正在停止...    ", "MySQL正在停止...    ", "MySQL正在启动...    ",
            "MySQL正在停止...    ", "MySQL正在启动...    "}));

    // A stop command that did not stop the server no longer explains a much later stop.
    m_log.clear();
    m_control->Stop(ServiceKind::MySQL);
    Tick(m_clock + 100, ServiceKind::MySQL, Running);
    Tick(m_clock + 1, ServiceKind::MySQL, Stopped);
    EXPECT_EQ(m_log,
        (std::vector<std::string> {"MySQL正在停止...    ", "MySQL意外停止：错误输出中没有新的内容    "}));
}

TEST_F(ServerDiagnosticsTest, ErrorsComeFirstAndRepeatedLinesOnce)
{
    Make(Stopped, Running);
    std::string notes;
    for (int i = 0; i < 6; ++i)
        notes += "2024-01-06  9:28:46 0 [Note] InnoDB: note " + std::to_string(i) + "\n";
    const std::string errors
        = "2024-01-06  9:28:46 0 [ERROR] mysqld: Can't create/write to file './ddl_recovery.log'\n"
          "2024-01-06  9:28:46 0 [ERROR] Aborting\n";
    Append("MySQL/data/mysql.err", notes + errors);
    // The service command repeats the error file's tail.
    Append("Apache2/logs/services.log", "2024-01-06 09:28:47 net: MySQL is stopping.\n" + errors);
    Tick(1, ServiceKind::MySQL, Stopped);
    EXPECT_EQ(m_log,
        (std::vector<std::string> {"MySQL意外停止：    ", "[Note] InnoDB: note 0    ",
            "[Note] InnoDB: note 1    ",
            "[ERROR] mysqld: Can't create/write to file './ddl_recovery.log'    ", "[ERROR] Aborting    ",
            "net: MySQL is stopping.    "}));
}

TEST_F(ServerDiagnosticsTest, HostileErrorFilesNeitherBlockNorFloodNorStopTheOthers)
{
    // A FIFO in place of Apache's error log, and a huge append to the services log.
    ASSERT_EQ(::mkfifo((m_dir / "Apache2/logs/error.log").c_str(), 0600), 0);
    Append("Apache2/logs/services.log", "before\n");
    Make(Running, Stopped);
    Tick(1, ServiceKind::Apache, Running);
    // A hole of 4 GB before the line that tells what happened: its end is read.
    fs::resize_file(m_dir / "Apache2/logs/services.log", std::uint64_t {1} << 32);
    Append("Apache2/logs/services.log", "AH00060: seg fault\n");
    const auto started = std::chrono::steady_clock::now();
    Tick(2, ServiceKind::Apache, Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(m_log,
        (std::vector<std::string> {"Apache意外停止：    ",
            "services.log 新增的内容太多，跳过了较早的 4.0 GB，只读取了最后的 64 KB    ",
            "AH00060: seg fault    ",
            "无法读取 " + m_dir / "Apache2/logs/error.log" + ": 不是普通文件（是 FIFO、设备或套接字）    "}));

    // Read to the end: the next stop starts from there.
    m_log.clear();
    Tick(3, ServiceKind::Apache, Running);
    Append("Apache2/logs/services.log", "next\n");
    ::unlink((m_dir / "Apache2/logs/error.log").c_str());
    Tick(4, ServiceKind::Apache, Stopped);
    EXPECT_EQ(m_log, (std::vector<std::string> {"Apache意外停止：    ", "next    "}));
}

TEST_F(ServerDiagnosticsTest, AHugeAppendIsReadFromItsEndAndTheSkippedPartIsSaid)
{
    struct Case
    {
        const char* name;
        std::string appended;
        std::vector<std::string> log;
    };
    std::string warnings;
    int count = 0;
    for (; warnings.size() < 100 * 1024; ++count)
        warnings += "2024-01-06  9:28:46 0 [Warning] InnoDB: warning number " + std::to_string(count) + "\n";
    const auto warning = [&](int fromEnd) {
        return "[Warning] InnoDB: warning number " + std::to_string(count - fromEnd) + "    ";
    };
    const std::string end = "2024-01-06  9:28:47 0 [ERROR] InnoDB: fatal at the end\n";
    const std::string skipped = "mysql.err 新增的内容太多，跳过了较早的 "
        + std::to_string((warnings.size() + end.size()) / 1024 - 64) + " KB，只读取了最后的 64 KB    ";
    const Case cases[] = {
        {"many lines, the fatal one last", warnings + end,
            {"MySQL意外停止：    ", skipped, warning(4), warning(3), warning(2), warning(1),
                "[ERROR] InnoDB: fatal at the end    "}},
        {"a 2 GB hole, then one line", std::string(),
            {"MySQL意外停止：    ", "mysql.err 新增的内容太多，跳过了较早的 2.0 GB，只读取了最后的 64 KB    ",
                "[ERROR] InnoDB: fatal at the end    "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write("MySQL/data/mysql.err", "2024-01-06  9:00:00 0 [Note] ready for connections.\n");
        Make(Stopped, Running);
        if (c.appended.empty()) {
            fs::resize_file(m_dir / "MySQL/data/mysql.err", std::uint64_t {2} << 30);
            Append("MySQL/data/mysql.err", end);
        } else {
            Append("MySQL/data/mysql.err", c.appended);
        }
        m_log.clear();
        Tick(m_clock + 1, ServiceKind::MySQL, Stopped);
        EXPECT_EQ(m_log, c.log);
        EXPECT_EQ(m_sources.at(1), m_dir / "MySQL/data/mysql.err");
        Tick(m_clock + 1, ServiceKind::MySQL, Running);
    }
}

TEST_F(ServerDiagnosticsTest, MariaDbsErrorFileIsFoundAsMariaDbFindsIt)
{
    struct Case
    {
        const char* name;
        std::string mysqlSection;
        std::string errorFile;
    };
    const Case cases[] = {
        {"log-error relative to the data folder, .err added", "log-error = mysqld\n",
            "MySQL/data/mysqld.err"},
        {"log_error spelled with an underscore", "log_error=logs/server.log\n", "MySQL/data/logs/server.log"},
        {"no log-error: the data folder's .err files", "port=3307\n", "MySQL/data/host.err"},
    };
    for (const Case& c : cases) {
        fs::create_directories(m_dir / "MySQL/data/logs");
        Write("MySQL/my.ini", "[mysqld]\n" + c.mysqlSection);
        // The running server has its error file open.
        Write(c.errorFile, "");
        Make(Stopped, Running);
        Append(c.errorFile, "2024-01-06  9:28:46 0 [ERROR] found\n");
        Append("MySQL/data/other.log", "2024-01-06  9:28:46 0 [ERROR] not MariaDB's\n");
        m_log.clear();
        Tick(1, ServiceKind::MySQL, Stopped);
        EXPECT_EQ(m_log, (std::vector<std::string> {"MySQL意外停止：    ", "[ERROR] found    "})) << c.name;
        fs::remove(m_dir / c.errorFile);
    }
}

TEST_F(ServerDiagnosticsTest, LinesAreShownInTheServersCodePage)
{
    // GBK: the second byte of a character may be ']', which must not pass for the bracket's end.
    m_codePage = MakeTextCodePage("GBK");
    ASSERT_NE(m_codePage, nullptr);
    Make(Stopped, Running);
    Append("MySQL/data/mysql.err", "2024-01-06  9:28:46 0 [\xb6\x5d] \xd6\xd0\xce\xc4 \xff\n");
    Tick(1, ServiceKind::MySQL, Stopped);
    EXPECT_EQ(m_log, (std::vector<std::string> {"MySQL意外停止：    ", "[禲] 中文 \xef\xbf\xbd    "}));
}

TEST(CondensedErrorLine, DropsTheServersOwnTimeAndProcessNumbers)
{
    struct Case
    {
        const char* name;
        std::string line;
        std::string condensed;
    };
    const Case cases[] = {
        {"Apache 2.4", "[Sat Jan 06 09:28:46.123456 2024] [core:emerg] [pid 4242:tid 7] AH00072: make_sock",
            "[core:emerg] AH00072: make_sock"},
        {"Apache 2.2 with a client",
            "[Sat Jan 06 09:28:46 2024] [error] [client 127.0.0.1] File does not exist",
            "[error] [client 127.0.0.1] File does not exist"},
        {"MariaDB", "2024-01-06  9:28:46 0 [ERROR] Aborting", "[ERROR] Aborting"},
        {"MySQL 5.7", "2024-01-06T09:28:46.123456Z 0 [Warning] TIMESTAMP", "[Warning] TIMESTAMP"},
        {"MySQL 5.0",
            "240106  9:28:46 [ERROR] Do you already have another mysqld server running on port: 3306 ?",
            "[ERROR] Do you already have another mysqld server running on port: 3306 ?"},
        {"MySQL 5.0 InnoDB", "240106  9:28:46  InnoDB: Started; log sequence number 0 43655",
            "InnoDB: Started; log sequence number 0 43655"},
        {"the service command", "2024-01-06 09:28:46 net: MySQL did not start.", "net: MySQL did not start."},
        {"bare text kept", "(98)Address already in use: AH00072", "(98)Address already in use: AH00072"},
        {"numbers that are no time kept", "2024 12345 [x]", "2024 12345 [x]"},
        {"a bracket without a time kept", "[client 1.2.3.4] denied", "[client 1.2.3.4] denied"},
        {"control characters and escape sequences go, tabs become blanks", "a\tb\x1b[31mc\x07\x7f  ", "a bc"},
        {"bidirectional and C1 controls go, line breaks become blanks",
            "\xE2\x80\xAE"
            "exe.dptth\xE2\x81\xA6x\xE2\x81\xA9\xC2\x85y\xE2\x80\xA8z\xC2\x9B"
            "31mw",
            "exe.dptthx y zw"},
        {"other characters kept", "端口 (errno: 98)", "端口 (errno: 98)"},
        {"a long line cut before a whole character", std::string(999, 'x') + "端口",
            std::string(999, 'x') + "…"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CondensedErrorLine(c.line), c.condensed) << c.name;
}

TEST(ListenPort, PortOfEveryListenForm)
{
    struct Case
    {
        const char* listen;
        std::optional<std::uint16_t> port;
    };
    const Case cases[] = {
        {"80", 80},
        {" 8080 ", 8080},
        {"127.0.0.1:8080", 8080},
        {"[::1]:8080", 8080},
        {"*:81", 81},
        {"65535", 65535},
        {"", std::nullopt},
        {"0", std::nullopt},
        {"65536", std::nullopt},
        {"80a", std::nullopt},
        {"[::1]", std::nullopt},
        {"-80", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListenPort(c.listen), c.port) << c.listen;
}

} // namespace
} // namespace larkspan
