// The root-password change on a real demo bundle with its phpMyAdmin, proven in a real browser:
// headless Chromium loads phpMyAdmin from the bundle's Apache after each change. With the update
// phpMyAdmin lists the bundle's databases; without it, or after its undo, MariaDB refuses it.
//
// LARKSPAN_SCREENSHOTS=DIR keeps a screenshot of both pages in DIR.
#include "config/disk_config_files.h"
#include "config/phpmyadmin_password.h"
#include "dialogs/password_change.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "platform/capturing_runner.h"
#include "platform/text_code_page.h"
#include "platform/threaded_program_runner.h"
#include "safety/checked_save.h"
#include "safety/server_check.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/bundle_fixture.h"

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChromium = "/usr/bin/chromium";
constexpr const char* kDemoDatabase = "larkspan_demo_db";
const std::string kChanged
    = "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
      "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";

class PhpMyAdminInBrowser : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(::access(kChromium, X_OK), 0) << kChromium << " is missing; run scripts/install-deps";
        m_bundle = std::make_unique<test::TemporaryBundle>("bundle", std::vector<std::string> {});
        ASSERT_TRUE(m_bundle->made()) << m_bundle->makeOutput();
        for (const char* service : {"MySQL", "Apache2"}) {
            const test::ProgramOutput started = m_bundle->Net("start", service);
            ASSERT_EQ(started.exitCode, 0) << service << ": " << started.text;
        }
        ASSERT_TRUE(test::WaitFor([&] { return Sql("qlwv", "select 1").exitCode == 0; }))
            << Sql("qlwv", "select 1").text;
        ASSERT_EQ(Sql("qlwv", std::string("create database ") + kDemoDatabase).exitCode, 0);
        m_config = *m_bundle / "www/phpMyAdmin/config.inc.php";
        m_original = FileContents(m_config);
        ASSERT_NE(m_original.find("'qlwv'"), std::string::npos) << m_original;
    }

    test::ProgramOutput Sql(const std::string& password, const std::string& query) const
    {
        return test::RunProgram({*m_bundle / "MySQL/bin/mysql.exe", "--protocol=TCP", "-h", "127.0.0.1", "-P",
            std::to_string(m_bundle->mysqlPort()), "-uroot", "-p" + password, "-N", "-B", "-e", query});
    }

    /// Chromium's document of phpMyAdmin's start page once its scripts have run, or what went
    /// wrong. Each load has a fresh profile and reaches nothing but the loopback address; `screenshot`
    /// names a PNG to keep of the page as well.
    std::string LoadPhpMyAdmin(const std::string& screenshot = {}) const
    {
        const std::string url
            = "http://127.0.0.1:" + std::to_string(m_bundle->apachePort()) + "/phpMyAdmin/index.php";
        const auto run = [&](const std::string& output) {
            test::TempDir profile;
            Command command {kChromium,
                {Argument::literal("--headless"), Argument::literal("--disable-gpu"),
                    Argument::literal("--disable-quic"), Argument::literal("--no-first-run"),
                    Argument::literal("--disable-background-networking"),
                    Argument::literal("--disable-component-update"), Argument::literal("--disable-sync"),
                    Argument::literal("--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"),
                    Argument::literal("--user-data-dir=" + profile.path()),
                    Argument::literal("--timeout=20000"), Argument::literal("--window-size=1280,900")}};
            // Chromium's sandbox refuses to run as root.
            if (::geteuid() == 0)
                command.arguments.push_back(Argument::literal("--no-sandbox"));
            command.arguments.push_back(Argument::literal(output));
            command.arguments.push_back(Argument::url(url));
            return m_runner->Run(command, std::chrono::seconds(90), {});
        };
        if (!screenshot.empty()) {
            const CapturedRun shot = run("--screenshot=" + screenshot);
            std::error_code error;
            const auto size = fs::file_size(screenshot, error);
            EXPECT_TRUE(shot.outcome == CapturedRun::Outcome::Exited && !error && size > 0)
                << shot.standardError;
        }
        // A page that did not load still exits 0, with nothing on its output.
        const CapturedRun dump = run("--dump-dom");
        if (dump.outcome != CapturedRun::Outcome::Exited || dump.exitCode != 0 || dump.standardOutput.empty())
            return "chromium failed (" + std::to_string(dump.exitCode) + "): " + dump.standardError;
        return dump.standardOutput;
    }

    static std::string Screenshot(const char* name)
    {
        const char* folder = std::getenv("LARKSPAN_SCREENSHOTS");
        return folder == nullptr || *folder == '\0' ? std::string() : (fs::path(folder) / name).string();
    }

    std::string WithPassword(const std::string& password) const
    {
        std::string expected = m_original;
        expected.replace(expected.find("'qlwv'"), 6, PhpSingleQuoted(password));
        return expected;
    }

    std::unique_ptr<test::TemporaryBundle> m_bundle;
    std::string m_config;
    std::string m_original;
    std::unique_ptr<CapturingRunner> m_runner = MakeSystemCapturingRunner();
};

/// The panel's side of a password change: the real client on a worker thread, the real files and
/// history; the console and the message boxes are scripted.
struct PanelOnBundle
{
    explicit PanelOnBundle(const std::string& appDir, CapturingRunner& runner)
        : files(appDir)
        , history(appDir)
        , checker(runner)
        , threaded(runner, [](std::function<void()> task) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
        })
    { }

    /// Runs the change and waits for its report; `updatePhpMyAdmin` answers the offer. Returns the
    /// message shown.
    std::string Change(const std::string& oldPassword, const std::string& newPassword, bool updatePhpMyAdmin)
    {
        messages.shown.clear();
        messages.asked.clear();
        messages.answers = {true, updatePhpMyAdmin};
        std::optional<bool> cleared;
        EXPECT_TRUE(change.Start(oldPassword, newPassword, [&](bool clear) { cleared = clear; }));
        EXPECT_TRUE(test::WaitFor(
            [&] { return cleared.has_value(); }, 60, [] { QCoreApplication::processEvents(); }));
        EXPECT_EQ(cleared, std::optional<bool>(true))
            << (messages.shown.empty() ? "" : messages.shown.back());
        EXPECT_EQ(messages.asked.size(), 2u);
        EXPECT_EQ(messages.shown.size(), 1u);
        return messages.shown.empty() ? std::string() : messages.shown.back();
    }

    DiskConfigFiles files;
    SettingsHistory history;
    ServerChecker checker;
    std::vector<std::string> log;
    SafeSaveServices services {checker, history, [this](std::string_view line) { log.emplace_back(line); }};
    std::unique_ptr<TextCodePage> codePage = MakeSystemTextCodePage();
    ThreadedProgramRunner threaded;
    FakeLauncher console;
    FakeMessageBoxes messages;
    PasswordChange change {files, console, messages, threaded, *codePage, &services};
};

bool ListsDatabases(const std::string& page)
{
    return page.find(kDemoDatabase) != std::string::npos
        && page.find("information_schema") != std::string::npos;
}

bool AccessDenied(const std::string& page)
{
    return page.find("Access denied for user") != std::string::npos && page.find("1045") != std::string::npos;
}

TEST_F(PhpMyAdminInBrowser, FollowsThePasswordWithTheUpdateAndOnlyThen)
{
    PanelOnBundle panel(m_bundle->path().string(), *m_runner);
    std::string page = LoadPhpMyAdmin();
    ASSERT_TRUE(ListsDatabases(page)) << "the bundle's phpMyAdmin does not work to begin with:\n" << page;

    // Quote, backslash, blank, Chinese, and a backslash last, where it would escape the quote.
    const std::string first = "it's a \\ 中文 密码\\";
    std::string message = panel.Change("qlwv", first, true);
    EXPECT_EQ(message.rfind("MySQL密码已经修改！", 0), 0u) << message;
    EXPECT_NE(message.find("已同时修改phpMyAdmin配置文件中的密码"), std::string::npos) << message;
    EXPECT_NE(message.find("config.inc.php"), std::string::npos) << message;
    EXPECT_EQ(FileContents(m_config), WithPassword(first));
    EXPECT_EQ(Sql(first, "select 1").text, "1\n");
    page = LoadPhpMyAdmin(Screenshot("phpmyadmin-updated.png"));
    EXPECT_TRUE(ListsDatabases(page)) << page;
    EXPECT_FALSE(AccessDenied(page)) << page;

    // The undo puts phpMyAdmin's file back byte for byte; the server keeps the new password.
    const UndoOutcome undone = UndoLastSave(panel.files, panel.history, panel.messages);
    EXPECT_EQ(undone.kind, UndoOutcome::Kind::Done) << undone.message;
    EXPECT_EQ(FileContents(m_config), m_original);
    EXPECT_TRUE(AccessDenied(LoadPhpMyAdmin()));

    // Declined: the message of old, the file untouched, and phpMyAdmin locked out.
    const std::string second = "x\\'y z";
    message = panel.Change(first, second, false);
    EXPECT_EQ(message, kChanged);
    EXPECT_EQ(FileContents(m_config), m_original);
    page = LoadPhpMyAdmin(Screenshot("phpmyadmin-not-updated.png"));
    EXPECT_TRUE(AccessDenied(page)) << page;
    EXPECT_FALSE(ListsDatabases(page)) << page;

    // A password that would end the string and run code if it were not escaped.
    const std::string third = "'; echo 'injected'; $x = '\\";
    message = panel.Change(second, third, true);
    EXPECT_NE(message.find("已同时修改phpMyAdmin配置文件中的密码"), std::string::npos) << message;
    EXPECT_EQ(FileContents(m_config), WithPassword(third));
    page = LoadPhpMyAdmin();
    EXPECT_TRUE(ListsDatabases(page)) << page;
    EXPECT_EQ(page.find("injected"), std::string::npos);
    EXPECT_EQ(panel.console.launches.size(), 3u);
}

} // namespace
} // namespace larkspan
