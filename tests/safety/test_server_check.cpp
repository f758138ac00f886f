// The servers' checkers as the save sees them: which files each reads, and what its answer means.
#include "config/folders.h"
#include "config/native_path.h"
#include "fakes/fake_capturing_runner.h"
#include "fakes/fake_config_files.h"
#include "safety/server_check.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <thread>

namespace larkspan {
namespace {

using Kind = ServerVerdict::Kind;
using Outcome = CapturedRun::Outcome;
using test::TempDir;

// The argument after `flag`, or the one that starts with it.
std::string ArgumentOf(const Command& command, std::string_view flag)
{
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
        const std::string& text = command.arguments[i].text;
        if (text == flag && i + 1 < command.arguments.size())
            return command.arguments[i + 1].text;
        if (text.starts_with(flag) && text.size() > flag.size())
            return text.substr(flag.size());
    }
    return {};
}

// The candidate file a checker was given.
std::string CandidateOf(const Command& command)
{
    for (const char* flag : {"-f", "-c", "--defaults-file="}) {
        if (std::string found = ArgumentOf(command, flag); !found.empty())
            return found;
    }
    return {};
}

CapturedRun Exited(int code, std::string output, std::string error)
{
    return {Outcome::Exited, code, std::move(output), std::move(error)};
}

struct ServerCheckTest : testing::Test
{
    ServerCheckTest()
        : files(bundle.path())
    {
        files.texts[httpdConf]
            = "ServerRoot \"" + bundle.path() + "/Apache2\"\nListen 80\nInclude conf/vhosts.conf\n";
        files.texts[vhosts] = "# hosts\n";
    }

    CheckReport Check(std::string_view file, std::string content)
    {
        FileBatch batch(files);
        EXPECT_TRUE(batch.Edit(file, [&](std::string_view) { return content; }).ok());
        return checker.Check(PrepareCheck(files, batch));
    }

    TempDir bundle;
    FakeConfigFiles files;
    FakeCapturingRunner runner;
    ServerChecker checker {runner, std::chrono::seconds(7)};
    const std::string httpdConf = bundle.path() + "\\Apache2\\conf\\httpd.conf";
    const std::string vhosts = bundle.path() + "\\Apache2\\conf\\vhosts.conf";
    const std::string phpIni = bundle.path() + "\\PHP5\\php.ini";
    const std::string myIni = bundle.path() + "\\MySQL\\my.ini";
};

TEST_F(ServerCheckTest, EachCheckerAnswerBecomesAVerdict)
{
    const std::string liveConf = NativePath(httpdConf);
    const std::string mysqlListing = "Variables (--variable-name=value)\n"
                                     "-------------------------- -----\n"
                                     "max-connections            1024\n"
                                     "port                       65535\n";
    const struct
    {
        const char* name;
        std::string file;
        std::string content;
        std::function<CapturedRun(const Command&)> answer;
        Kind kind;
        std::string lines;
        std::string live = {}; // the file before the save; empty: missing
    } rows[] = {
        {"Apache's refusal names the live file", httpdConf, "Listen 0\n",
            [](const Command& command) {
                return Exited(1, "",
                    "AH00526: Syntax error on line 1 of " + CandidateOf(command)
                        + ":\nInvalid address or port\n");
            },
            Kind::Refused, "AH00526: Syntax error on line 1 of " + liveConf + ":\nInvalid address or port"},
        {"Apache's warnings do not refuse", httpdConf, "Listen 81\n",
            [](const Command&) { return Exited(0, "", "AH00558: Could not reliably determine the name\n"); },
            Kind::Accepted, ""},
        {"PHP's fatal start-up error", phpIni, "safe_mode = On\n",
            [](const Command&) {
                return Exited(
                    1, "", "\nFatal error: Directive 'safe_mode' is no longer available in PHP in Unknown\n");
            },
            Kind::Refused, "Fatal error: Directive 'safe_mode' is no longer available in PHP in Unknown"},
        {"PHP's start-up warning", phpIni, "post_max_size = 8Q\n",
            [](const Command&) {
                return Exited(0, "post_max_size=8Q\n", "Warning: Invalid \"post_max_size\"\n");
            },
            Kind::Refused, "Warning: Invalid \"post_max_size\""},
        {"a negative size PHP takes silently", phpIni, "upload_max_filesize = -5M\n",
            [](const Command&) { return Exited(0, "upload_max_filesize=-5M\npost_max_size=8M\n", ""); },
            Kind::Refused, "upload_max_filesize = -5M：大小不能是负数"},
        {"PHP content", phpIni, "upload_max_filesize = 8M\n",
            [](const Command&) { return Exited(0, "upload_max_filesize=8M\npost_max_size=8M\n", ""); },
            Kind::Accepted, ""},
        {"MySQL's errors without their time stamps", myIni, "[mysqld]\nport=-1\n",
            [](const Command&) {
                return Exited(13, "",
                    "2026-12-07  9:49:04 0 [Warning] Could not increase number of max_open_files\n"
                    "2026-12-07  9:49:04 0 [ERROR] Incorrect unsigned value: '-1' for port\n");
            },
            Kind::Refused, "[ERROR] Incorrect unsigned value: '-1' for port"},
        {"a value MySQL clamps", myIni,
            "[client]\nport=1\n[mysqld]\nport = 70000 # mine\nmax_connections=1K\n",
            [&](const Command&) {
                return Exited(0, mysqlListing,
                    "2026-12-07  9:49:04 0 [Warning] option 'port': unsigned value 70000 adjusted to "
                    "65535\n");
            },
            Kind::Refused,
            "port=70000：MySQL 不会使用这个值，而会改用 65535\n"
            "[Warning] option 'port': unsigned value 70000 adjusted to 65535"},
        {"a value MySQL replaces by its default", myIni, "[mysqld]\nport=3307\n[server]\nmax_connections=0\n",
            [](const Command&) { return Exited(0, "----- -----\nport 3307\nmax-connections 10\n", ""); },
            Kind::Refused, "max-connections=0：MySQL 不会使用这个值，而会改用 10"},
        {"a clamp this save did not make", myIni, "[mysqld]\nport=70000\nmax_connections=1024\n",
            [&](const Command&) { return Exited(0, mysqlListing, ""); }, Kind::Accepted, "",
            "[mysqld]\nport=70000\nmax_connections=100\n"},
        {"MySQL content", myIni, "[mysqld]\nport=3307\nmax-connections=\"1K\"\n",
            [](const Command&) { return Exited(0, "----- -----\nport 3307\nmax-connections 1024\n", ""); },
            Kind::Accepted, ""},
        {"no checker in the bundle", phpIni, "x=1\n",
            [](const Command&) {
                return CapturedRun {Outcome::NotStarted, -1, "", "php.exe: No such file"};
            },
            Kind::NotChecked, "php.exe: No such file"},
        {"a checker that does not end", myIni, "[mysqld]\n",
            [](const Command&) {
                return CapturedRun {Outcome::TimedOut, -1, "", ""};
            },
            Kind::NotChecked,
            NativePath(myIni.substr(0, myIni.size() - 6) + "bin\\mysqld-nt.exe")
                + ": 在 7 秒内没有结束，已被终止。"},
        {"a checker that crashes", httpdConf, "Listen 81\n",
            [](const Command&) {
                return CapturedRun {Outcome::Crashed, -1, "", "Segmentation fault\n"};
            },
            Kind::Refused,
            NativePath(bundle.path() + "\\Apache2\\bin\\httpd.exe") + ": 异常退出。\nSegmentation fault"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        files.texts.erase(row.file);
        if (!row.live.empty())
            files.texts[row.file] = row.live;
        std::string seen;
        runner.answer = [&](const Command& command) {
            seen = FileContents(CandidateOf(command));
            return row.answer(command);
        };
        const CheckReport report = Check(row.file, row.content);
        ASSERT_EQ(report.verdicts.size(), 1u);
        EXPECT_EQ(report.verdicts[0].kind, row.kind);
        EXPECT_EQ(report.verdicts[0].lines, row.lines);
        EXPECT_EQ(seen, row.content);
        EXPECT_EQ(report.refused(), row.kind == Kind::Refused);
        EXPECT_EQ(report.RefusalMessage().empty(), row.kind != Kind::Refused);
        EXPECT_EQ(report.NotCheckedNote().empty(), row.kind != Kind::NotChecked);
    }
}

TEST_F(ServerCheckTest, AChangedVhostsConfIsReadThroughTheLiveHttpdConfFromAPrivateFolder)
{
    std::string folder;
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "Apache read the candidate" : "Apache did not read it");
        runner.answer = [&](const Command& command) {
            const std::string conf = CandidateOf(command);
            folder = conf.substr(0, conf.find_last_of("/\\"));
            const std::string hosts = folder + "/vhosts.conf";
            EXPECT_EQ(FileContents(conf),
                "ServerRoot \"" + bundle.path() + "/Apache2\"\nListen 80\nInclude \"" + hosts + "\"\n");
            EXPECT_EQ(FileContents(hosts), "<VirtualHost *:80>\n</VirtualHost>\n");
#ifndef _WIN32
            EXPECT_EQ(PermissionBits(folder), 0700u);
#endif
            EXPECT_EQ(ArgumentOf(command, "-d"), NativePath(bundle.path() + "\\Apache2"));
            return Exited(
                0, listed ? "  (*) " + conf + "\n    (3) " + hosts + "\n" : "  (*) " + conf + "\n", "");
        };
        const CheckReport report = Check(vhosts, "<VirtualHost *:80>\n</VirtualHost>\n");
        ASSERT_EQ(report.verdicts.size(), 1u);
        EXPECT_EQ(report.verdicts[0].kind, listed ? Kind::Accepted : Kind::NotChecked);
        EXPECT_FALSE(folder.empty());
        EXPECT_EQ(PermissionBits(folder), std::nullopt) << folder;
    }

    // Without a readable httpd.conf the check cannot run, and says why.
    files.unreadable[httpdConf] = "Permission denied";
    runner.commands.clear();
    const CheckReport report = Check(vhosts, "# changed\n");
    ASSERT_EQ(report.verdicts.size(), 1u);
    EXPECT_EQ(report.verdicts[0].kind, Kind::NotChecked);
    EXPECT_EQ(report.verdicts[0].lines, httpdConf + ": Permission denied");
    EXPECT_TRUE(runner.commands.empty());
}

TEST_F(ServerCheckTest, FilesNoServerReadsAreNotChecked)
{
    FileBatch batch(files);
    ASSERT_TRUE(batch.SetIniKey("Larkspan.ini", "Apache", "Listen", "81").ok());
    ASSERT_TRUE(
        batch.Edit(bundle.path() + "\\www\\phpinfo.php", [](std::string_view) { return "<?php ?>"; }).ok());
    EXPECT_TRUE(checker.Check(PrepareCheck(files, batch)).verdicts.empty());
    EXPECT_TRUE(runner.commands.empty());
}

TEST(RedirectInclude, PointsTheIncludeOfTheLiveFileAtTheCandidate)
{
    const std::string candidate = "/tmp/c/vhosts.conf";
    const struct
    {
        const char* name;
        std::string conf;
        std::string redirected; // empty: unchanged
    } rows[] = {
        {"relative to the ServerRoot given", "Include conf/vhosts.conf\r\n",
            "Include \"/tmp/c/vhosts.conf\"\r\n"},
        {"quoted, indented, optional", "  IncludeOptional \"conf/vhosts.conf\" # x\n",
            "  IncludeOptional \"/tmp/c/vhosts.conf\" # x\n"},
        {"absolute, no line end", "include /b/Apache2/conf/../conf/vhosts.conf",
            "include \"/tmp/c/vhosts.conf\""},
        {"after a ServerRoot of the file", "ServerRoot /b\nInclude Apache2/conf/vhosts.conf\n",
            "ServerRoot /b\nInclude \"/tmp/c/vhosts.conf\"\n"},
        {"another file", "Include conf/extra.conf\n", ""},
        {"a comment", "#Include conf/vhosts.conf\n", ""},
        {"a ServerRoot elsewhere", "ServerRoot /elsewhere\nInclude conf/vhosts.conf\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool redirected = false;
        const std::string result
            = RedirectInclude(row.conf, "/b/Apache2", "/b/Apache2/conf/vhosts.conf", candidate, redirected);
        EXPECT_EQ(redirected, !row.redirected.empty());
        EXPECT_EQ(result, row.redirected.empty() ? row.conf : row.redirected);
    }
}

TEST_F(ServerCheckTest, ABackgroundCheckReportsFromItsOwnThread)
{
    runner.answer = [](const Command&) { return Exited(1, "", "refused\n"); };
    FileBatch batch(files);
    ASSERT_TRUE(batch.Edit(phpIni, [](std::string_view) { return "x=1\n"; }).ok());
    std::thread::id reporter;
    CheckReport report;
    {
        BackgroundCheck check(checker, PrepareCheck(files, batch), [&](CheckReport done) {
            reporter = std::this_thread::get_id();
            report = std::move(done);
        });
    }
    EXPECT_NE(reporter, std::thread::id());
    EXPECT_NE(reporter, std::this_thread::get_id());
    EXPECT_EQ(report.RefusalMessage(), "PHP 不接受新的设置，没有写入任何文件。检查程序的结果：\nrefused");
}

} // namespace
} // namespace larkspan
