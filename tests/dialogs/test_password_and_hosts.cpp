// The root-password change and the virtual-host editor without widgets.
#include "config/native_path.h"
#include "config/settings_keys.h"
#include "dialogs/password_change.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_capturing_runner.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_program_runner.h"
#include "fakes/fake_text_code_page.h"
#include "safety/undo.h"
#include "support/platform_line_end.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

const std::string kChanged
    = "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
      "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";

const std::string kPhpMyAdminQuestion = "是否同时修改phpMyAdmin配置文件中的密码？";
const std::string kLocalConfig = "D:\\www\\phpMyAdmin\\config.inc.php";
const std::string kDefaultConfig = "D:\\www\\phpMyAdmin\\libraries\\config.default.php";
const std::string kRootEntry = "<?php\r\n// \xC3\xDC\xC2\xEB\r\n$i = 0;\r\n$i++;\r\n"
                               "$cfg['Servers'][$i]['auth_type'] = 'config';\r\n"
                               "$cfg['Servers'][$i]['user'] = 'root';\r\n"
                               "$cfg['Servers'][$i]['password'] = 'qlwv';\r\n";

struct PasswordFixture : testing::Test
{
    FakeConfigFiles files {"D:\\bundle"};
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeProgramRunner runner;
    FakeTextCodePage codePage;
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    FakeCapturingRunner checkerRunner;
    ServerChecker checker {checkerRunner};
    std::vector<std::string> log;
    SafeSaveServices services {checker, history, [this](std::string_view line) { log.emplace_back(line); }};
    PasswordChange change {files, launcher, messages, runner, codePage, &services, std::chrono::seconds(7)};
    std::vector<bool> finished;

    bool Start(const std::string& oldPassword, const std::string& newPassword)
    {
        return change.Start(oldPassword, newPassword, [this](bool clear) { finished.push_back(clear); });
    }
    /// A site folder with phpMyAdmin's own settings file holding `content`.
    void WithPhpMyAdmin(const std::string& file, const std::string& content)
    {
        files.Set(kSettingsFile, "Apache", "DocumentRoot", "D:\\www");
        files.texts[file] = content;
    }
    std::vector<HistoryEntry> Entries() const
    {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.List(entries).ok());
        return entries;
    }
};

TEST_F(PasswordFixture, DecliningRunsNothing)
{
    messages.answers = {false};
    EXPECT_FALSE(Start("qlwv", "new"));
    EXPECT_EQ(messages.asked, std::vector<std::string> {"你确定要修改密码？？"});
    EXPECT_TRUE(runner.runs.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(finished.empty());
}

TEST_F(PasswordFixture, PasswordsTravelAsSeparateArgumentsExactlyAsTyped)
{
    const struct
    {
        std::string oldPassword;
        std::string newPassword;
        bool endOfOptions; // a new password that looks like an option follows "--"
    } rows[] = {
        {"qlwv", "new", false},
        {"", "", false},
        {"a b", "it's \"q\"", false},
        {"$HOME;rm -rf /", "back\\slash `x`", false},
        {"-old", "-x", true},
        {"qlwv", "--help", true},
        {"qlwv", "a-b", false},
    };
    for (const auto& row : rows) {
        runner.runs.clear();
        ASSERT_TRUE(Start(row.oldPassword, row.newPassword));
        ASSERT_EQ(runner.runs.size(), 1u);
        std::vector<Argument> arguments {
            Argument::literal("-uroot"), Argument::literal("-p" + row.oldPassword)};
        if (row.endOfOptions)
            arguments.push_back(Argument::literal("--"));
        arguments.push_back(Argument::literal("password"));
        arguments.push_back(Argument::literal(row.newPassword));
        EXPECT_EQ(runner.runs[0].command, (Command {"D:\\bundle\\MySQL\\bin\\mysqladmin", arguments}));
        EXPECT_EQ(runner.runs[0].timeLimit, std::chrono::seconds(7));
    }
}

TEST_F(PasswordFixture, SuccessTellsTheUserThenOpensTheConsoleAndEmptiesTheFields)
{
    // Declining phpMyAdmin's update leaves everything as a change without it.
    WithPhpMyAdmin(kLocalConfig, kRootEntry);
    messages.answers = {true, false};
    std::size_t messagesAtLaunch = 0;
    launcher.onLaunch = [&](const Command&) { messagesAtLaunch = messages.shown.size(); };
    ASSERT_TRUE(Start("qlwv", "new"));
    EXPECT_TRUE(messages.shown.empty()); // nothing is claimed before the client has finished
    EXPECT_TRUE(launcher.launches.empty());
    EXPECT_EQ(messages.asked.size(), 1u); // nor offered

    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    EXPECT_EQ(messages.asked.at(1), kPhpMyAdminQuestion + "\n\n" + NativePath(kLocalConfig));
    EXPECT_EQ(messages.shown, std::vector<std::string> {kChanged});
    EXPECT_EQ(files.texts[kLocalConfig], kRootEntry);
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(Entries().empty());
    ASSERT_EQ(launcher.launches.size(), 1u);
    EXPECT_EQ(messagesAtLaunch, 1u);
    EXPECT_EQ(launcher.launches[0].command, PasswordChange::ConsoleCommand("D:\\bundle"));
    EXPECT_EQ(launcher.launches[0].command.program, "D:\\bundle\\mysql\\bin\\mysql.exe");
    EXPECT_EQ(launcher.launches[0].command.arguments,
        (std::vector<Argument> {Argument::literal("-uroot"), Argument::literal("-p")}));
    EXPECT_EQ(launcher.launches[0].style, WindowStyle::NormalFocus);
    EXPECT_EQ(finished, std::vector<bool> {true});
}

TEST_F(PasswordFixture, FailuresReportTheRealOutcomeKeepTheFieldsAndOpenNoConsole)
{
    const struct
    {
        const char* name;
        CapturedRun result;
        const char* expectedText;
    } rows[] = {
        {"wrong old password",
            {CapturedRun::Outcome::Exited, 1, "",
                "\amysqladmin: connect to server at 'localhost' failed\nerror: 'Access denied'\n"},
            "error: 'Access denied'"},
        {"the client's text cleaned",
            {CapturedRun::Outcome::Exited, 1, "",
                "\xE2\x80\xAE"
                "denied\x1b[31m \xC2\x9B"
                "2Jfor root\n"},
            "denied for root"},
        {"error text preferred to output", {CapturedRun::Outcome::Exited, 1, "out\n", "denied\n"}, "denied"},
        {"output when the error text is blank", {CapturedRun::Outcome::Exited, 1, "said\n", " \r\n"}, "said"},
        {"silent failure", {CapturedRun::Outcome::Exited, 2, "", ""}, "mysqladmin: 退出码 2"},
        {"not started",
            {CapturedRun::Outcome::NotStarted, -1, "", "D:\\bundle\\MySQL\\bin\\mysqladmin: No such file"},
            "No such file"},
        {"hung client", {CapturedRun::Outcome::TimedOut, -1, "", ""}, "7 秒内没有结束"},
        {"crash", {CapturedRun::Outcome::Crashed, -1, "", ""}, "异常退出"},
    };
    WithPhpMyAdmin(kLocalConfig, kRootEntry);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        messages.shown.clear();
        messages.asked.clear();
        finished.clear();
        ASSERT_TRUE(Start("bad", "new"));
        runner.Finish(row.result);
        EXPECT_EQ(messages.asked, std::vector<std::string> {"你确定要修改密码？？"});
        EXPECT_EQ(files.texts[kLocalConfig], kRootEntry);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].rfind("MySQL密码没有修改！", 0), 0u);
        EXPECT_NE(messages.shown[0].find(row.expectedText), std::string::npos) << messages.shown[0];
        EXPECT_EQ(messages.shown[0].find('\a'), std::string::npos);
        EXPECT_TRUE(launcher.launches.empty());
        EXPECT_EQ(finished, std::vector<bool> {false});
    }
}

TEST_F(PasswordFixture, AConsoleThatCannotStartIsReportedAndTheFieldsStay)
{
    WithPhpMyAdmin(kLocalConfig, kRootEntry);
    messages.answers = {true, false};
    launcher.failWhen = [](const Command&) { return true; };
    ASSERT_TRUE(Start("qlwv", "new"));
    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0], kChanged);
    EXPECT_NE(messages.shown[1].find("mysql.exe"), std::string::npos);
    EXPECT_EQ(finished, std::vector<bool> {false});
}

TEST_F(PasswordFixture, AcceptedPhpMyAdminUpdateIsWrittenRecordedAndUndone)
{
    const std::string kLead
        = "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n";
    const struct
    {
        const char* name;
        std::string file; // the only phpMyAdmin file present
        std::string password;
        std::string literal; // what the file holds then, in the code page's bytes
    } rows[] = {
        {"its own settings file", kLocalConfig, "it's \\ new", "'it\\'s \\\\ new'"},
        {"else the defaults it ships with", kDefaultConfig, "p\xC3\xA9 q", "'p\xE9 q'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        files.texts.clear();
        messages.shown.clear();
        messages.asked.clear();
        log.clear();
        WithPhpMyAdmin(row.file, kRootEntry);
        std::vector<std::string> atLaunch;
        launcher.onLaunch = [&](const Command&) { atLaunch = {files.texts[row.file]}; };
        ASSERT_TRUE(Start("qlwv", row.password));
        runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});

        std::string expected = kRootEntry;
        expected.replace(expected.find("'qlwv'"), 6, row.literal);
        EXPECT_EQ(files.texts[row.file], expected);
        EXPECT_EQ(atLaunch, std::vector<std::string> {expected});
        EXPECT_EQ(messages.asked.back(), kPhpMyAdminQuestion + "\n\n" + NativePath(row.file));
        EXPECT_EQ(messages.shown,
            std::vector<std::string> {
                kLead + "已同时修改phpMyAdmin配置文件中的密码：\r\n" + NativePath(row.file)});
        EXPECT_EQ(log, std::vector<std::string> {"phpMyAdmin密码已保存...    "});
        ASSERT_FALSE(Entries().empty());
        EXPECT_EQ(Entries().back().dialog, "phpMyAdmin密码");

        // The undo puts the file back byte for byte; the server keeps its new password.
        const UndoOutcome undone = UndoLastSave(files, history, messages);
        EXPECT_EQ(undone.kind, UndoOutcome::Kind::Done) << undone.message;
        EXPECT_EQ(files.texts[row.file], kRootEntry);
    }
}

TEST_F(PasswordFixture, PhpMyAdminLeftAloneSaysWhyAndKeepsTheInstruction)
{
    const std::string cookie
        = "<?php\n$i = 1;\n$cfg['Servers'][$i]['auth_type'] = 'cookie';\n"
          "$cfg['Servers'][$i]['user'] = 'root';\n$cfg['Servers'][$i]['password'] = '';\n";
    const struct
    {
        const char* name;
        std::function<void(PasswordFixture&)> setUp;
        std::string password;
        const char* why; // a part of the last paragraph
        bool asked; // whether the update was offered
    } rows[] = {
        {"no phpMyAdmin in the site folder",
            [](PasswordFixture& f) { f.files.Set(kSettingsFile, "Apache", "DocumentRoot", "D:\\www"); },
            "new", "没有找到phpMyAdmin配置文件", false},
        {"no site folder", [](PasswordFixture&) {}, "new", "没有设置网站目录", false},
        {"an unreadable Larkspan.ini",
            [](PasswordFixture& f) {
                f.WithPhpMyAdmin(kLocalConfig, kRootEntry);
                f.files.unreadable["Larkspan.ini"] = "Permission denied";
            },
            "new", "Permission denied", false},
        {"its own settings file unreadable: the defaults are not taken instead",
            [](PasswordFixture& f) {
                f.WithPhpMyAdmin(kDefaultConfig, kRootEntry);
                f.files.texts[kLocalConfig] = kRootEntry;
                f.files.unreadable[kLocalConfig] = "Permission denied";
            },
            "new", "Permission denied", false},
        {"cookie authentication", [&](PasswordFixture& f) { f.WithPhpMyAdmin(kLocalConfig, cookie); }, "new",
            "使用 cookie 认证方式", false},
        {"a password the code page cannot hold",
            [](PasswordFixture& f) { f.WithPhpMyAdmin(kLocalConfig, kRootEntry); }, "中文",
            "系统代码页无法表示", false},
        {"the write fails",
            [](PasswordFixture& f) {
                f.WithPhpMyAdmin(kLocalConfig, kRootEntry);
                f.files.failOn = kLocalConfig;
            },
            "new", "D:\\www\\phpMyAdmin\\config.inc.php", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        files = FakeConfigFiles {"D:\\bundle"};
        messages = FakeMessageBoxes {};
        launcher.launches.clear();
        row.setUp(*this);
        const auto before = files.texts;
        ASSERT_TRUE(Start("qlwv", row.password));
        runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});

        EXPECT_EQ(messages.asked.size(), row.asked ? 2u : 1u);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].rfind(kChanged + "\r\n\r\n", 0), 0u) << messages.shown[0];
        EXPECT_NE(messages.shown[0].find(row.why, kChanged.size()), std::string::npos) << messages.shown[0];
        EXPECT_EQ(files.texts, before);
        EXPECT_TRUE(Entries().empty());
        EXPECT_EQ(launcher.launches.size(), 1u); // the console opens all the same
    }

    // A file that holds the new password already is not written.
    files = FakeConfigFiles {"D:\\bundle"};
    messages = FakeMessageBoxes {};
    WithPhpMyAdmin(kLocalConfig, kRootEntry);
    ASSERT_TRUE(Start("old", "qlwv"));
    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("已是新密码"), std::string::npos) << messages.shown[0];
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(Entries().empty());
}

TEST(VirtualHostsText, TheExampleIsFixed)
{
    EXPECT_EQ(VirtualHosts::ExampleBlock().substr(0, 20), "<VirtualHost *:80>\r\n");
    EXPECT_EQ(VirtualHosts::ExampleBlock().back(), '>');
}

struct HostsFixture : testing::Test
{
    const std::string path = "D:\\bundle\\Apache2\\conf\\vhosts.conf";
    std::unique_ptr<TextCodePage> utf8 = MakeTextCodePage("UTF-8");
    FakeConfigFiles files {"D:\\bundle"};
    FakeMessageBoxes messages;
    VirtualHosts hosts {files, messages, *utf8};
};

TEST_F(HostsFixture, EveryLineEndsInCrLfInTheBox)
{
    const std::pair<std::string, std::string> rows[] = {
        {"A\r\nB\r\n", "A\r\nB\r\n"},
        {"A\r\nB", "A\r\nB\r\n"},
        {"A\nB\n", "A\r\nB\r\n"},
        {"A\rB", "A\r\nB\r\n"},
        {"", ""},
        {"\r\n", "\r\n"},
        {"A\n\nB", "A\r\n\r\nB\r\n"},
        {"A\n\r\nB", "A\r\n\r\nB\r\n"},
    };
    for (const auto& [file, box] : rows) {
        files.texts[path] = file;
        EXPECT_EQ(hosts.Load(), box);
    }
}

TEST_F(HostsFixture, SavingTrimsBlanksOnlyAndKeepsTheFilesLineEnds)
{
    const struct
    {
        const char* file;
        const char* box;
        const char* written; // nullptr: nothing is written and nothing is shown
    } rows[] = {
        {"A\r\nB\r\n", "A\r\nB\r\n", nullptr},
        {"A\nB", "A\r\nB\r\n", nullptr},
        {"A\nB\n", "A\r\nC\r\n", "A\nC\n"},
        {"A\r\nB\nC\rD", "A\r\nX\r\nC\r\nD\r\n", "A\r\nX\r\nC\rD\r\n"},
        {"A\n", "  A \r\n  ", "A \n"},
        {"A\n", "\tA  ", "\tA\n"}, // the last line ends in the file's own line end
        {"A\n", "", ""},
        {"A\n", "   ", ""},
        {"A\n", "A\r\n  ", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.box);
        files.texts[path] = row.file;
        files.calls.clear();
        messages.shown.clear();
        hosts.Load();
        EXPECT_TRUE(hosts.Save(row.box));
        if (!row.written) {
            EXPECT_TRUE(files.calls.empty());
            EXPECT_TRUE(messages.shown.empty());
            continue;
        }
        ASSERT_EQ(files.calls.size(), 1u);
        EXPECT_EQ(files.calls[0].content, row.written);
        EXPECT_EQ(messages.shown, std::vector<std::string> {"站点信息已保存，重起Apache生效。"});
    }
}

// Lines the code page cannot show (GBK under UTF-8, a lone Latin-1 byte) or the editor cannot hold
// in one line (U+2029) keep their bytes while other lines change; replacing them is asked first.
TEST_F(HostsFixture, LinesThatCannotBeShownKeepTheirBytesUnlessTheUserChangesThem)
{
    const std::string gbk = "# \xD6\xD0\xCE\xC4";
    const std::string latin1 = "ServerName caf\xE9";
    const std::string paragraph = "# a\xE2\x80\xA9"
                                  "b";
    const std::string file = gbk + "\r\n" + latin1 + "\r\nListen 80\r\n" + paragraph + "\r\nEnd\r\n";
    files.texts[path] = file;
    const std::string box = hosts.Load();
    EXPECT_EQ(
        box, "# \uFFFD\uFFFD\uFFFD\uFFFD\r\nServerName caf\uFFFD\r\nListen 80\r\n# a\uFFFDb\r\nEnd\r\n");

    const struct
    {
        const char* name;
        std::string box;
        std::string written;
        bool asked;
    } rows[] = {
        {"a line between them changed",
            "# \uFFFD\uFFFD\uFFFD\uFFFD\r\nServerName caf\uFFFD\r\nListen 81\r\n# a\uFFFDb\r\nEnd\r\n",
            gbk + "\r\n" + latin1 + "\r\nListen 81\r\n" + paragraph + "\r\nEnd\r\n", false},
        {"lines inserted at both ends", "New\r\n" + box + "Last\r\n", "New\r\n" + file + "Last\r\n", false},
        {"lines moved past each other",
            "ServerName caf\uFFFD\r\n# \uFFFD\uFFFD\uFFFD\uFFFD\r\nListen 80\r\n# a\uFFFDb\r\nX\r\n",
            latin1 + "\r\n" + gbk + "\r\nListen 80\r\n" + paragraph + "\r\nX\r\n", false},
        {"the GBK line itself changed", "# x\r\nServerName caf\uFFFD\r\nListen 80\r\n# a\uFFFDb\r\nEnd\r\n",
            "# x\r\n" + latin1 + "\r\nListen 80\r\n" + paragraph + "\r\nEnd\r\n", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const bool answer : {false, true}) {
            files.texts[path] = file;
            files.calls.clear();
            messages.asked.clear();
            messages.answers = {answer};
            hosts.Load();
            const bool closes = hosts.Save(row.box);
            EXPECT_EQ(messages.asked.size(), row.asked ? 1u : 0u);
            if (row.asked && !answer) {
                EXPECT_FALSE(closes);
                EXPECT_TRUE(files.calls.empty());
                continue;
            }
            EXPECT_TRUE(closes);
            EXPECT_EQ(files.texts[path], row.written);
        }
    }
}

TEST_F(HostsFixture, AMissingFileOpensEmptyAndIsCreatedOnSave)
{
    EXPECT_EQ(hosts.Load(), "");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(hosts.Save("<VirtualHost *:80>\r\n</VirtualHost>\r\n"));
    EXPECT_EQ(files.texts[path], test::WithPlatformLineEnds("<VirtualHost *:80>\n</VirtualHost>\n"));
}

TEST_F(HostsFixture, AnUnreadableFileIsReportedAndNeverOverwritten)
{
    files.directories = {path}; // exists, yet cannot be read as a file
    EXPECT_EQ(hosts.Load(), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(path), std::string::npos);
    EXPECT_FALSE(hosts.Save(""));
    EXPECT_FALSE(hosts.Save("typed"));
    EXPECT_TRUE(files.calls.empty());
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_NE(messages.shown[2].find(NativePath(path)), std::string::npos);
}

TEST_F(HostsFixture, AFailedWriteIsReportedInsteadOfSuccess)
{
    files.texts[path] = "A\r\n";
    hosts.Load();
    files.failOn = path;
    EXPECT_FALSE(hosts.Save("B\r\n"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(path + ": Permission denied"), std::string::npos);
    EXPECT_EQ(files.texts[path], "A\r\n");
}

} // namespace
} // namespace larkspan
