// The settings dialogs' logic against a real demo bundle: what they write is what Apache, PHP and
// MariaDB then use, and the password change talks to the real server.
#include "app/service_control.h"
#include "config/disk_config_files.h"
#include "config/ini.h"
#include "dialogs/apache_settings.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/password_change.h"
#include "dialogs/php_settings.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "platform/launcher.h"
#include "platform/threaded_program_runner.h"
#include "support/bundle_fixture.h"

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using test::FreePort;
using test::ProgramOutput;
using test::RunProgram;

// The password change reports through the event loop, so it runs while the test waits.
bool WaitFor(const std::function<bool()>& condition, int seconds = 60)
{
    return test::WaitFor(condition, seconds, [] { QCoreApplication::processEvents(); });
}

// The page's body, or empty when Apache does not answer.
std::string HttpGet(int port, const std::string& path)
{
    return test::HttpBody(test::HttpGet(port, path));
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class DialogsOnBundle : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_demo
            = std::make_unique<test::TemporaryBundle>("bundle", std::vector<std::string> {"--no-phpmyadmin"});
        s_bundle = s_demo->path();
    }
    static void TearDownTestSuite() { s_demo.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_demo->made()) << s_demo->makeOutput();
        files = std::make_unique<DiskConfigFiles>(s_bundle.string());
        launcher = MakeSystemLauncher(s_bundle.string(), (s_bundle / "Apache2/logs/services.log").string());
        services = std::make_unique<ServiceControl>(*launcher, messages,
            ServiceControl::Hooks {[](std::string_view) {}, [] { QCoreApplication::processEvents(); },
                [] {
                    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                        .count();
                }});
    }
    // Every test leaves both servers stopped, whatever happened in it.
    void TearDown() override { s_demo->StopServers(); }

    static ProgramOutput Net(const char* verb, const char* service) { return s_demo->Net(verb, service); }
    static std::string Path(const char* relative) { return (s_bundle / relative).string(); }
    static ProgramOutput Sql(const std::string& password, const std::string& query)
    {
        return RunProgram({Path("MySQL/bin/mysql.exe"), "--protocol=TCP", "-h", "127.0.0.1", "-uroot",
            "-p" + password, "-N", "-B", "-e", query});
    }

    static inline std::unique_ptr<test::TemporaryBundle> s_demo;
    static inline fs::path s_bundle;
    std::unique_ptr<TextCodePage> codePage = MakeSystemTextCodePage();
    std::unique_ptr<DiskConfigFiles> files;
    std::unique_ptr<Launcher> launcher;
    FakeMessageBoxes messages;
    std::unique_ptr<ServiceControl> services;
};

TEST_F(DialogsOnBundle, ApacheAndPhpSettingsReachTheRunningServer)
{
    const int port = FreePort();
    const fs::path site = s_bundle / "site two";
    fs::create_directories(site);
    WriteFile(site / "home.html", "the second site\n");
    WriteFile(site / "ini.php",
        "<?php foreach (['upload_max_filesize', 'post_max_size', 'max_execution_time', "
        "'display_errors', 'short_open_tag', 'output_buffering'] as $k) "
        "echo $k, '=', ini_get($k), \"\\n\";\n");

    ApacheSettings apache(*files, messages, *codePage);
    ApacheFields fields = apache.Load();
    EXPECT_EQ(fields.root, Path("www"));
    fields.listen = std::to_string(port);
    fields.root = site.string();
    fields.sname = "dialogs.test";
    fields.admin = "webmaster@dialogs.test";
    fields.index = "home.html index.html";
    ASSERT_TRUE(apache.Save(fields));

    PhpSettings php(*files, messages, *codePage);
    PhpFields phpFields = php.Load();
    phpFields.displayErrors = "Off";
    phpFields.shortOpenTag = "On";
    phpFields.outputBuffering = "On";
    phpFields.maxTime = "45";
    phpFields.uploadFile = "16";
    ASSERT_TRUE(php.Save(phpFields));
    EXPECT_EQ(messages.shown,
        (std::vector<std::string> {"设置成功，重起Apache生效。", "设置成功，重起Apache生效。"}));

    const ProgramOutput check
        = RunProgram({Path("Apache2/bin/httpd.exe"), "-d", Path("Apache2"), "-f", "conf/httpd.conf", "-t"});
    EXPECT_EQ(check.exitCode, 0) << check.text;

    services->Restart(ServiceKind::Apache);
    ASSERT_TRUE(WaitFor([&] { return !HttpGet(port, "/").empty(); })) << "Apache does not answer on " << port;
    EXPECT_EQ(HttpGet(port, "/"), "the second site\n");
    const std::string ini = HttpGet(port, "/ini.php");
    for (const char* line : {"upload_max_filesize=16M\n", "post_max_size=16M\n", "max_execution_time=45\n",
             "display_errors=\n", "short_open_tag=1\n", "output_buffering=1\n"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
}

TEST_F(DialogsOnBundle, MySqlSettingsReachTheRunningServer)
{
    // An option file from an older panel: the server refuses to start with this line.
    ASSERT_TRUE(
        IniWrite("mysqld", "default-character-set", "utf8", Path("MySQL/my.ini"), s_bundle.string()).ok());

    const int port = FreePort();
    MySqlSettings mysql(*files, messages, *codePage);
    MySqlFields fields = mysql.Load();
    EXPECT_EQ(fields, (MySqlFields {fields.port, "100", "INNODB", "utf8"}));
    fields.port = std::to_string(port);
    fields.connections = "123";
    fields.engine = "MyISAM";
    fields.character = "latin1";
    ASSERT_TRUE(mysql.Save(fields));
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起MSQL生效。"});

    services->Restart(ServiceKind::MySQL);
    ASSERT_TRUE(WaitFor([&] { return Sql("qlwv", "select 1").exitCode == 0; }))
        << Sql("qlwv", "select 1").text;
    const ProgramOutput values
        = Sql("qlwv", "select @@port, @@max_connections, @@default_storage_engine, @@character_set_server");
    EXPECT_EQ(values.text, std::to_string(port) + "\t123\tMyISAM\tlatin1\n");
}

TEST_F(DialogsOnBundle, PasswordChangeReportsTheRealOutcome)
{
    ASSERT_EQ(Net("start", "MySQL").exitCode, 0);
    const auto capturing = MakeSystemCapturingRunner();
    ThreadedProgramRunner runner(*capturing, [](std::function<void()> task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
    });
    FakeLauncher console;
    PasswordChange change(*files, console, messages, runner, *codePage);
    const auto changeAndWait = [&](const std::string& oldPassword, const std::string& newPassword) {
        std::optional<bool> cleared;
        messages.shown.clear();
        EXPECT_TRUE(change.Start(oldPassword, newPassword, [&](bool clear) { cleared = clear; }));
        EXPECT_TRUE(WaitFor([&] { return cleared.has_value(); }));
        return cleared.value_or(false);
    };

    const std::string awkward = "new pass'word \"$x;\\";
    ASSERT_TRUE(changeAndWait("qlwv", awkward)) << (messages.shown.empty() ? "" : messages.shown.back());
    EXPECT_EQ(messages.shown.at(0).rfind("MySQL密码已经修改！", 0), 0u);
    ASSERT_EQ(console.launches.size(), 1u);
    EXPECT_EQ(Sql(awkward, "select 1").text, "1\n");
    EXPECT_NE(Sql("qlwv", "select 1").exitCode, 0);

    EXPECT_FALSE(changeAndWait("wrong", "x"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].rfind("MySQL密码没有修改！", 0), 0u);
    EXPECT_NE(messages.shown[0].find("Access denied"), std::string::npos) << messages.shown[0];
    EXPECT_EQ(console.launches.size(), 1u);

    // Passwords that the client would take for options: "--help" would even exit 0 unchanged.
    for (const std::string dashed : {"-x y", "--help"}) {
        ASSERT_TRUE(changeAndWait(awkward, dashed)) << (messages.shown.empty() ? "" : messages.shown.back());
        EXPECT_EQ(Sql(dashed, "select 1").text, "1\n") << dashed;
        EXPECT_NE(Sql(awkward, "select 1").exitCode, 0);
        ASSERT_TRUE(changeAndWait(dashed, awkward));
    }

    EXPECT_TRUE(changeAndWait(awkward, "qlwv"));
    EXPECT_EQ(Sql("qlwv", "select 1").text, "1\n");
}

TEST_F(DialogsOnBundle, SavedVirtualHostsAreWhatApacheReads)
{
    VirtualHosts hosts(*files, messages, *codePage);
    const std::string loaded = hosts.Load();
    EXPECT_EQ(loaded.substr(0, 2), "# ");
    const std::string block = "<VirtualHost *:80>\r\n    ServerName vhost.dialogs.test\r\n    DocumentRoot \""
        + Path("www") + "\"\r\n</VirtualHost>\r\n";
    ASSERT_TRUE(hosts.Save(loaded + block));
    const ProgramOutput dump = RunProgram({Path("Apache2/bin/httpd.exe"), "-d", Path("Apache2"), "-f",
        "conf/httpd.conf", "-t", "-D", "DUMP_VHOSTS"});
    EXPECT_EQ(dump.exitCode, 0) << dump.text;
    EXPECT_NE(dump.text.find("vhost.dialogs.test"), std::string::npos) << dump.text;
    EXPECT_EQ(hosts.Load(), loaded + block);
}

} // namespace
} // namespace larkspan
