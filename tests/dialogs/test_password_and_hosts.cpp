// The root-password change and the virtual-host editor without widgets.
#include "config/native_path.h"
#include "dialogs/password_change.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_program_runner.h"
#include "support/platform_line_end.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

const std::string kChanged
    = "MySQL密码已经修改！\r\n\r\n接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
      "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";

struct PasswordFixture : testing::Test
{
    FakeConfigFiles files {"D:\\bundle"};
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeProgramRunner runner;
    PasswordChange change {files, launcher, messages, runner, std::chrono::seconds(7)};
    std::vector<bool> finished;

    bool Start(const std::string& oldPassword, const std::string& newPassword)
    {
        return change.Start(oldPassword, newPassword, [this](bool clear) { finished.push_back(clear); });
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
    std::size_t messagesAtLaunch = 0;
    launcher.onLaunch = [&](const Command&) { messagesAtLaunch = messages.shown.size(); };
    ASSERT_TRUE(Start("qlwv", "new"));
    EXPECT_TRUE(messages.shown.empty()); // nothing is claimed before the client has finished
    EXPECT_TRUE(launcher.launches.empty());

    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    EXPECT_EQ(messages.shown, std::vector<std::string> {kChanged});
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
        {"error text preferred to output", {CapturedRun::Outcome::Exited, 1, "out\n", "denied\n"}, "denied"},
        {"output when the error text is blank", {CapturedRun::Outcome::Exited, 1, "said\n", " \r\n"}, "said"},
        {"silent failure", {CapturedRun::Outcome::Exited, 2, "", ""}, "mysqladmin: 退出码 2"},
        {"not started",
            {CapturedRun::Outcome::NotStarted, -1, "", "D:\\bundle\\MySQL\\bin\\mysqladmin: No such file"},
            "No such file"},
        {"hung client", {CapturedRun::Outcome::TimedOut, -1, "", ""}, "7 秒内没有结束"},
        {"crash", {CapturedRun::Outcome::Crashed, -1, "", ""}, "异常退出"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        messages.shown.clear();
        finished.clear();
        ASSERT_TRUE(Start("bad", "new"));
        runner.Finish(row.result);
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
    launcher.failWhen = [](const Command&) { return true; };
    ASSERT_TRUE(Start("qlwv", "new"));
    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0], kChanged);
    EXPECT_NE(messages.shown[1].find("mysql.exe"), std::string::npos);
    EXPECT_EQ(finished, std::vector<bool> {false});
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
