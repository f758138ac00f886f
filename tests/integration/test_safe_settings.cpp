// Saves checked by the bundle's own Apache, PHP and MariaDB before a file changes, recorded in the
// history, and undone byte for byte, on a real demo bundle.
#include "config/disk_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "platform/capturing_runner.h"
#include "safety/history_commit.h"
#include "safety/server_check.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/bundle_fixture.h"
#include "support/file_contents.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using Kind = ServerVerdict::Kind;

// The bytes of every file of the bundle's configuration folders and of Larkspan.ini.
std::map<std::string, std::string> Snapshot(const fs::path& bundle)
{
    std::map<std::string, std::string> files {{"Larkspan.ini", FileContents(bundle / "Larkspan.ini")}};
    for (const char* folder : {"Apache2/conf", "PHP5", "MySQL"}) {
        for (const auto& entry : fs::directory_iterator(bundle / folder)) {
            if (entry.is_regular_file() && !entry.is_symlink())
                files[fs::relative(entry.path(), bundle)] = FileContents(entry.path());
        }
    }
    return files;
}

class SafeSettingsOnBundle : public test::SharedBundleTest
{
protected:
    void SetUp() override
    {
        SharedBundleTest::SetUp();
        if (HasFatalFailure())
            return;
        files = std::make_unique<DiskConfigFiles>(s_demo->path().string());
    }
    void TearDown() override { s_demo->StopServers(); }

    std::string In(std::string_view relative) const
    {
        return s_demo->path().string() + std::string(relative);
    }

    std::unique_ptr<DiskConfigFiles> files;
    std::unique_ptr<CapturingRunner> runner = MakeSystemCapturingRunner();
    ServerChecker checker {*runner};
};

TEST_F(SafeSettingsOnBundle, TheServersRefuseWhatTheyWouldNotRunWithTheirOwnWords)
{
    const std::string httpdConf = In("\\Apache2\\conf\\httpd.conf");
    const std::string vhosts = In("\\Apache2\\conf\\vhosts.conf");
    const std::string phpIni = In("\\PHP5\\php.ini");
    const std::string myIni = In("\\MySQL\\my.ini");
    using Edit = std::function<Status(FileBatch&)>;
    const auto directive = [&](const char* name, std::string value) -> Edit {
        return [=](FileBatch& batch) { return batch.RewriteDirective(httpdConf, name, value); };
    };
    const auto key = [](std::string file, const char* section, const char* name, std::string value) -> Edit {
        return [=](FileBatch& batch) { return batch.SetIniKey(file, section, name, value); };
    };
    const auto hosts = [&](std::string text) -> Edit {
        return [=](FileBatch& batch) { return batch.Edit(vhosts, [&](std::string_view) { return text; }); };
    };
    const std::string goodPort = std::to_string(test::FreePort());
    const struct
    {
        const char* name;
        Edit edit;
        Kind kind;
        const char* says;
    } rows[] = {
        {"safe_mode On", key(phpIni, "PHP", "safe_mode", "On"), Kind::Refused,
            "Directive 'safe_mode' is no longer available in PHP"},
        {"register_globals On", key(phpIni, "PHP", "register_globals", "On"), Kind::Refused,
            "Directive 'register_globals' is no longer available in PHP"},
        {"negative upload size", key(phpIni, "PHP", "upload_max_filesize", "-5M"), Kind::Refused,
            "大小不能是负数"},
        {"enormous upload size", key(phpIni, "PHP", "upload_max_filesize", "99999999999999999999M"),
            Kind::Refused, "Invalid \"upload_max_filesize\" setting"},
        {"Listen 0", directive("Listen", "0"), Kind::Refused, "Invalid address or port"},
        {"Listen 70000", directive("Listen", "70000"), Kind::Refused, "Invalid address or port"},
        {"Listen 99999999999", directive("Listen", "99999999999"), Kind::Refused, "Invalid address or port"},
        {"Listen -5", directive("Listen", "-5"), Kind::Refused, "Port must be specified"},
        {"ServerAdmin with a blank", directive("ServerAdmin", "a b@c"), Kind::Refused, "takes one argument"},
        {"ServerAdmin empty", directive("ServerAdmin", ""), Kind::Refused, "takes one argument"},
        {"ServerName with a blank", directive("ServerName", "local host"), Kind::Refused,
            "takes one argument"},
        {"ServerName empty", directive("ServerName", ""), Kind::Refused, "takes one argument"},
        {"ServerName localhost:abc", directive("ServerName", "localhost:abc"), Kind::Refused,
            "outside the appropriate range"},
        {"an unclosed virtual host", hosts("<VirtualHost *:80>\n"), Kind::Refused, "was not closed"},
        {"MariaDB port -1", key(myIni, "mysqld", "port", "-1"), Kind::Refused,
            "Incorrect unsigned value: '-1' for port"},
        {"MariaDB port 0", key(myIni, "mysqld", "port", "0"), Kind::Refused,
            "port=0：MySQL 不会使用这个值，而会改用 3306"},
        {"MariaDB port 70000", key(myIni, "mysqld", "port", "70000"), Kind::Refused,
            "port=70000：MySQL 不会使用这个值，而会改用 65535"},
        {"max_connections -5", key(myIni, "mysqld", "max_connections", "-5"), Kind::Refused,
            "Incorrect unsigned value: '-5' for max_connections"},
        {"max_connections 0", key(myIni, "mysqld", "max_connections", "0"), Kind::Refused,
            "max-connections=0：MySQL 不会使用这个值，而会改用 10"},
        {"good Apache settings", directive("Listen", goodPort), Kind::Accepted, ""},
        {"a good virtual host",
            hosts("<VirtualHost *:" + goodPort + ">\n    ServerName www.example.com\n    DocumentRoot \""
                + (s_demo->path() / "www").string() + "\"\n</VirtualHost>\n"),
            Kind::Accepted, ""},
        {"good PHP settings", key(phpIni, "PHP", "max_execution_time", "60"), Kind::Accepted, ""},
        {"good MariaDB settings", key(myIni, "mysqld", "max_connections", "200"), Kind::Accepted, ""},
    };
    const auto before = Snapshot(s_demo->path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FileBatch batch(*files);
        ASSERT_TRUE(row.edit(batch).ok());
        const CheckReport report = checker.Check(PrepareCheck(*files, batch));
        ASSERT_EQ(report.verdicts.size(), 1u);
        EXPECT_EQ(report.verdicts[0].kind, row.kind) << report.verdicts[0].lines;
        EXPECT_NE(report.verdicts[0].lines.find(row.says), std::string::npos) << report.verdicts[0].lines;
        // Nothing was written, and no candidate was put beside the live files.
        EXPECT_EQ(Snapshot(s_demo->path()), before);
    }
}

TEST_F(SafeSettingsOnBundle, AnUndoAfterAGoodSaveBringsEveryFileBackAndApacheServesTheOldPort)
{
    SettingsHistory history(files->AppDir());
    const auto before = Snapshot(s_demo->path());
    const std::string oldPort = std::to_string(s_demo->apachePort());
    const std::string newPort = std::to_string(test::FreePort());

    FileBatch batch(*files);
    ASSERT_TRUE(batch.SetIniKey("Larkspan.ini", "Apache", "Listen", newPort).ok());
    ASSERT_TRUE(batch.RewriteDirective(In("\\Apache2\\conf\\httpd.conf"), "Listen", newPort).ok());
    ASSERT_TRUE(batch.SetIniKey(In("\\PHP5\\php.ini"), "PHP", "max_execution_time", "61").ok());
    const CheckReport report = checker.Check(PrepareCheck(*files, batch));
    ASSERT_FALSE(report.refused()) << report.RefusalMessage();
    ASSERT_EQ(report.NotCheckedNote(), "");
    ASSERT_TRUE(CommitWithHistory(batch, history, "Apache设置").ok());

    const auto serves = [](const std::string& port) {
        return test::HttpGet(std::stoi(port), "/hello.php").find("200 OK") != std::string::npos;
    };
    ASSERT_EQ(s_demo->Net("start", "Apache2").exitCode, 0);
    EXPECT_TRUE(serves(newPort));
    s_demo->StopServers();

    FakeMessageBoxes messages;
    const UndoOutcome undo = UndoLastSave(*files, history, messages);
    ASSERT_EQ(undo.kind, UndoOutcome::Kind::Done) << undo.message;
    EXPECT_TRUE(messages.asked.empty()) << messages.asked.front();
    EXPECT_EQ(Snapshot(s_demo->path()), before);
    ASSERT_EQ(s_demo->Net("start", "Apache2").exitCode, 0);
    EXPECT_TRUE(serves(oldPort));
}

TEST_F(SafeSettingsOnBundle, TwentyFiveSavesKeepTheNewestTwenty)
{
    SettingsHistory history(files->AppDir());
    std::vector<HistoryEntry> entries;
    ASSERT_TRUE(history.List(entries).ok());
    const std::size_t earlier = entries.size();
    for (int save = 1; save <= 25; ++save) {
        FileBatch batch(*files);
        ASSERT_TRUE(batch.SetIniKey("Larkspan.ini", "PHP", "max_execution_time", std::to_string(save)).ok());
        ASSERT_TRUE(CommitWithHistory(batch, history, "PHP设置").ok());
    }
    history.WaitUntilTidy();
    ASSERT_TRUE(history.List(entries).ok());
    EXPECT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries.back().sequence, earlier + 25);
    std::size_t folders = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(history.folder()))
        ++folders;
    EXPECT_EQ(folders, 20u);
}

} // namespace
} // namespace larkspan
