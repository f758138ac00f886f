// The servers' checkers as the save sees them: which files each reads, and what its answer means.
#include "config/folders.h"
#include "config/native_path.h"
#include "fakes/fake_capturing_runner.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "safety/checked_save.h"
#include "safety/server_check.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
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
        {"PHP that ends well without its answers", phpIni, "upload_max_filesize = 8M\n",
            [](const Command&) { return Exited(0, "post_max_size=8M\n", ""); }, Kind::NotChecked,
            NativePath(bundle.path() + "\\PHP5\\php.exe")
                + ": 正常结束，却没有给出 upload_max_filesize 的值"},
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
        {"MySQL that lists no values", myIni, "[mysqld]\nport=3307\nskip-networking\n",
            [](const Command&) { return Exited(0, "", ""); }, Kind::NotChecked,
            NativePath(bundle.path() + "\\MySQL\\bin\\mysqld-nt.exe") + ": 正常结束，却没有给出 port 的值"},
        {"MySQL asked for no numbers", myIni, "[mysqld]\ndefault-storage-engine=MyISAM\n",
            [](const Command&) { return Exited(0, "", ""); }, Kind::Accepted, ""},
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

TEST_F(ServerCheckTest, ACheckersWordsAreShownCleanedAndBoundedTheRestKeptInAFile)
{
    const std::string hugeLine = "PHP Fatal error: " + std::string(4 << 20, 'x');
    std::string many;
    for (int i = 0; i < 4; ++i)
        many += std::string(990, 'z') + "\n";
    const struct
    {
        const char* name;
        std::string error;
        std::string shown; ///< before the note naming the file, when one is kept
        bool kept;
    } rows[] = {
        {"controls that would reverse or colour the text",
            "\xE2\x80\xAE"
            "Fatal error: \x1b[31mbad\x1b[0m value\xC2\x85in php.ini\n",
            "Fatal error: bad value in php.ini", false},
        {"4 MB on one line", hugeLine + "\nsecond line\n", hugeLine.substr(0, 1000) + "…", true},
        {"many long lines", std::string(16, 'a') + std::string(990, 'y') + "\n" + many,
            std::string(16, 'a') + std::string(984, 'y') + "…\n" + std::string(990, 'z') + "\n"
                + std::string(990, 'z') + "\n" + std::string(990, 'z') + "\n" + std::string(23, 'z') + "…",
            true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        runner.answer = [&](const Command&) { return Exited(255, "", row.error); };
        const CheckReport report = Check(phpIni, "x=1\n");
        ASSERT_EQ(report.verdicts.size(), 1u);
        EXPECT_EQ(report.verdicts[0].kind, Kind::Refused);
        const std::string& lines = report.verdicts[0].lines;
        EXPECT_LT(report.RefusalMessage().size(), 6000u);
        const std::string note = "\n……（太长，没有全部显示；完整的内容保存在 ";
        const std::size_t noted = lines.find(note);
        EXPECT_EQ(lines.substr(0, noted), row.shown);
        ASSERT_EQ(noted != std::string::npos, row.kept) << lines;
        if (row.kept) {
            // The file holds the lines whole, as the checker wrote them.
            const std::string file
                = lines.substr(noted + note.size(), lines.size() - noted - note.size() - 3);
            std::string written = row.error;
            written.pop_back();
            EXPECT_EQ(FileContents(file), written);
            std::filesystem::remove_all(std::filesystem::path(file).parent_path());
        }
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

// Quitting the panel while a checker hangs: the window's thread must not wait out its time limit.
TEST_F(ServerCheckTest, DestroyingACheckedSaveStopsAHungCheckAtOnce)
{
    runner.hangs = true;
    ServerChecker slowChecker {runner, std::chrono::seconds(20)};
    TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    SafeSaveServices services {slowChecker, history, {}};
    FakeMessageBoxes messages;
    std::vector<std::function<void()>> posted;
    std::mutex postedMutex;
    std::optional<bool> finished;
    auto save = std::make_unique<CheckedSave>(
        files, messages, services,
        [&](std::function<void()> task) {
            std::lock_guard lock(postedMutex);
            posted.push_back(std::move(task));
        },
        [&](bool saved) { finished = saved; });
    FileBatch batch(files);
    ASSERT_TRUE(batch.Edit(phpIni, [](std::string_view) { return "x=1\n"; }).ok());
    save->Start(
        std::move(batch), {"PHP设置", "saved", [](std::string_view reason) { return std::string(reason); }});
    ASSERT_TRUE(save->busy());
    while (runner.RunCount() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));

    const auto before = std::chrono::steady_clock::now();
    save.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    for (const auto& task : posted)
        task();
    EXPECT_FALSE(finished.has_value()) << "an outcome after the end";
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(files.texts.count(phpIni), 0u) << "nothing written";
    std::vector<HistoryEntry> entries;
    EXPECT_TRUE(history.List(entries).ok());
    EXPECT_TRUE(entries.empty());
}

} // namespace
} // namespace larkspan
