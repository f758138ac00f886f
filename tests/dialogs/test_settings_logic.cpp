// The settings dialogs' decisions: what is loaded, which writes in which order, which message.
#include "apache_settings.h"
#include "fake_config_files.h"
#include "fake_messages.h"
#include "mysql_settings.h"
#include "php_settings.h"
#include "temp_dir.h"
#include "virtual_hosts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

using Call = FakeConfigFiles::Call;

const std::string kIni = "Larkspan.ini";
const std::string kHttpd = "D:\\bundle\\Apache2\\conf\\httpd.conf";
const std::string kPhpIni = "D:\\bundle\\PHP5\\php.ini";
const std::string kMyIni = "D:\\bundle\\MySQL\\my.ini";
const std::string kApacheDone = "设置成功，重起Apache生效。";
const std::string kMySqlDone = "设置成功，重起MSQL生效。";

Call Ini(
    const std::string& file, const std::string& section, const std::string& key, const std::string& value)
{
    return {"IniWrite", file, section, key, value};
}
Call Directive(const std::string& name, const std::string& value)
{
    return {"RewriteDirective", kHttpd, name, "", value};
}

void SeedApache(FakeConfigFiles& files)
{
    files.Set(kIni, "Apache", "Listen", "80");
    files.Set(kIni, "Apache", "ServerAdmin", "admin@localhost");
    files.Set(kIni, "Apache", "ServerName", "localhost");
    files.Set(kIni, "Apache", "DocumentRoot", "D:\\www");
    files.Set(kIni, "Apache", "DirectoryIndex", "index.html index.php");
}

struct ApacheFixture : testing::Test
{
    ApacheFixture()
    {
        files.directories = {"D:\\www", "D:\\web"};
        files.texts["D:\\www\\index.html"] = "";
        SeedApache(files);
    }
    FakeConfigFiles files;
    FakeMessages messages;
    ApacheSettings settings {files, messages};
};

TEST_F(ApacheFixture, OpeningShowsTheRecordedValuesAndAnUnchangedSaveDoesNothing)
{
    const ApacheFields loaded = settings.Load();
    EXPECT_EQ(
        loaded, (ApacheFields {"80", "D:\\www", "localhost", "admin@localhost", "index.html index.php"}));
    EXPECT_TRUE(settings.Save(loaded));
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ApacheFixture, EachChangeGoesToLarkspanIniThenHttpdConfInTheFixedOrder)
{
    struct Row
    {
        const char* name;
        ApacheFields fields;
        std::vector<Call> calls;
    };
    const std::vector<Row> rows {
        {"port only", {"81", "D:\\www", "localhost", "admin@localhost", "index.html index.php"},
            {Ini(kIni, "Apache", "Listen", "81"), Directive("Listen", "81")}},
        {"site directory is quoted only in httpd.conf",
            {"80", "D:\\web", "localhost", "admin@localhost", "index.html index.php"},
            {Ini(kIni, "Apache", "DocumentRoot", "D:\\web"), Directive("DocumentRoot", "\"D:\\web\"")}},
        {"letter case counts as a change",
            {"80", "D:\\www", "LocalHost", "admin@localhost", "index.html index.php"},
            {Ini(kIni, "Apache", "ServerName", "LocalHost"), Directive("ServerName", "LocalHost")}},
        {"all five: port, admin, name, directory, pages", {"0", "D:\\web", "n", "a@b", "i.php"},
            {Ini(kIni, "Apache", "Listen", "0"), Directive("Listen", "0"),
                Ini(kIni, "Apache", "ServerAdmin", "a@b"), Directive("ServerAdmin", "a@b"),
                Ini(kIni, "Apache", "ServerName", "n"), Directive("ServerName", "n"),
                Ini(kIni, "Apache", "DocumentRoot", "D:\\web"), Directive("DocumentRoot", "\"D:\\web\""),
                Ini(kIni, "Apache", "DirectoryIndex", "i.php"), Directive("DirectoryIndex", "i.php")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        files.calls.clear();
        messages.shown.clear();
        settings.Load();
        EXPECT_TRUE(settings.Save(row.fields));
        EXPECT_EQ(files.calls, row.calls);
        EXPECT_EQ(messages.shown, std::vector<std::string> {kApacheDone});
        SeedApache(files);
    }
}

TEST_F(ApacheFixture, BadEntriesStopBeforeAnyWriteWithTheFirstFailingMessage)
{
    struct Row
    {
        const char* listen;
        const char* root;
        const char* message; // nullptr: the checks pass
    };
    const Row rows[] = {
        {" 80", "D:\\www", "Apache端口请填正整数！"},
        {"80.0", "D:\\www", "Apache端口请填正整数！"},
        {"080", "D:\\www", "Apache端口请填正整数！"},
        {"+80", "D:\\www", "Apache端口请填正整数！"},
        {"8e1", "D:\\www", "Apache端口请填正整数！"},
        {"1234567890123456", "D:\\www", "Apache端口请填正整数！"},
        {"abc", "D:\\www", "Apache端口请填数字！"},
        {"", "D:\\www", "Apache端口请填数字！"},
        {"80", "D:\\missing", "网站的目录不存在！"},
        {"abc", "D:\\missing", "网站的目录不存在！"},
        {"80", "D:\\www\\index.html", "网站的目录不存在！"},
        {"80", "", "网站的目录不存在！"},
        {"80", "D:\\w*", "网站的目录不存在！"},
        {"80", "D:\\ww?", "网站的目录不存在！"},
        {"0", "D:\\www", nullptr},
        {"-80", "D:\\www", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.listen) + " / " + row.root);
        settings.Load();
        files.calls.clear();
        messages.shown.clear();
        const bool closes
            = settings.Save({row.listen, row.root, "localhost", "admin@localhost", "index.html index.php"});
        if (row.message) {
            EXPECT_FALSE(closes);
            EXPECT_EQ(messages.shown, std::vector<std::string> {row.message});
            EXPECT_TRUE(files.calls.empty());
        } else {
            EXPECT_TRUE(closes);
            EXPECT_EQ(files.calls,
                (std::vector<Call> {
                    Ini(kIni, "Apache", "Listen", row.listen), Directive("Listen", row.listen)}));
        }
        files.Set(kIni, "Apache", "Listen", "80");
    }
}

TEST_F(ApacheFixture, AFailedServerFileWritePutsTheRecordBackAndKeepsTheDialogOpen)
{
    settings.Load();
    files.failOn = kHttpd;
    EXPECT_FALSE(settings.Save({"81", "D:\\web", "localhost", "admin@localhost", "index.html index.php"}));
    EXPECT_EQ(files.calls,
        (std::vector<Call> {Ini(kIni, "Apache", "Listen", "81"), Ini(kIni, "Apache", "Listen", "80")}));
    EXPECT_EQ(files.IniRead("Apache", "Listen", "", kIni), "80");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(kHttpd + ": Permission denied"), std::string::npos);
    EXPECT_EQ(messages.shown[0].find(kApacheDone), std::string::npos);
}

TEST_F(ApacheFixture, AFailedSettingsFileWriteTouchesNoServerFile)
{
    settings.Load();
    files.failOn = kIni;
    EXPECT_FALSE(settings.Save({"81", "D:\\www", "localhost", "admin@localhost", "index.html index.php"}));
    EXPECT_TRUE(files.calls.empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("Larkspan.ini: Permission denied"), std::string::npos);
}

struct PhpFixture : testing::Test
{
    PhpFixture()
    {
        files.Set(kIni, "PHP", "short_open_tag", "On");
        files.Set(kIni, "PHP", "output_buffering", "Off");
        files.Set(kIni, "PHP", "safe_mode", "Off");
        files.Set(kIni, "PHP", "display_errors", "On");
        files.Set(kIni, "PHP", "register_globals", "Off");
        files.Set(kIni, "PHP", "max_execution_time", "30");
        files.Set(kIni, "PHP", "upload_max_filesize", "2");
    }
    FakeConfigFiles files;
    FakeMessages messages;
    PhpSettings settings {files, messages};
};

TEST_F(PhpFixture, OpeningShowsTheRecordAndOnlyExactOnSelectsOn)
{
    EXPECT_EQ(settings.Load(), (PhpFields {"On", "Off", "Off", "On", "Off", "30", "2"}));
    for (const char* stored : {"on", "ON", "1", ""}) {
        files.Set(kIni, "PHP", "display_errors", stored);
        EXPECT_EQ(settings.Load().displayErrors, "Off") << stored;
    }
}

TEST_F(PhpFixture, WritesFollowTheTableOrderAndTheUploadLimitCarriesItsUnit)
{
    const PhpFields loaded = settings.Load();
    EXPECT_TRUE(settings.Save(loaded));
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    PhpFields upload = loaded;
    upload.uploadFile = "8";
    EXPECT_TRUE(settings.Save(upload));
    EXPECT_EQ(files.calls,
        (std::vector<Call> {Ini(kIni, "PHP", "upload_max_filesize", "8"),
            Ini(kPhpIni, "PHP", "upload_max_filesize", "8M"), Ini(kPhpIni, "PHP", "post_max_size", "8M")}));
    EXPECT_EQ(messages.shown, std::vector<std::string> {kApacheDone});

    files.calls.clear();
    settings.Load();
    EXPECT_TRUE(settings.Save({"Off", "On", "On", "Off", "On", "-1", "16"}));
    std::vector<Call> expected;
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>> {
             {"short_open_tag", "Off"}, {"output_buffering", "On"}, {"safe_mode", "On"},
             {"display_errors", "Off"}, {"register_globals", "On"}, {"max_execution_time", "-1"}}) {
        expected.push_back(Ini(kIni, "PHP", key, value));
        expected.push_back(Ini(kPhpIni, "PHP", key, value));
    }
    expected.push_back(Ini(kIni, "PHP", "upload_max_filesize", "16"));
    expected.push_back(Ini(kPhpIni, "PHP", "upload_max_filesize", "16M"));
    expected.push_back(Ini(kPhpIni, "PHP", "post_max_size", "16M"));
    EXPECT_EQ(files.calls, expected);
}

TEST_F(PhpFixture, BadNumbersGiveTheirMessageAndWriteNothing)
{
    const struct
    {
        const char* maxTime;
        const char* upload;
        const char* message;
    } rows[] = {
        {"30s", "2", "最长时间请填数字！"},
        {"", "2", "最长时间请填数字！"},
        {"30.0", "2", "最长时间请填正整数！"},
        {"030", "2", "最长时间请填正整数！"},
        {" 30", "2", "最长时间请填正整数！"},
        {"30", "8M", "上传文件的大小请填数字！"},
        {"30", "8.5", "上传文件的大小请填正整数！"},
        {"x", "8M", "最长时间请填数字！"},
    };
    for (const auto& row : rows) {
        PhpFields fields = settings.Load();
        fields.maxTime = row.maxTime;
        fields.uploadFile = row.upload;
        messages.shown.clear();
        EXPECT_FALSE(settings.Save(fields)) << row.maxTime << " " << row.upload;
        EXPECT_EQ(messages.shown, std::vector<std::string> {row.message});
        EXPECT_TRUE(files.calls.empty());
    }
}

TEST_F(PhpFixture, AStoredLowerCaseSwitchIsRewrittenAsOff)
{
    files.Set(kIni, "PHP", "safe_mode", "on");
    EXPECT_TRUE(settings.Save(settings.Load()));
    EXPECT_EQ(files.calls,
        (std::vector<Call> {Ini(kIni, "PHP", "safe_mode", "Off"), Ini(kPhpIni, "PHP", "safe_mode", "Off")}));
}

TEST_F(PhpFixture, AFailedPostSizeWritePutsTheUploadRecordBack)
{
    PhpFields fields = settings.Load();
    fields.uploadFile = "8";
    files.failOn = kPhpIni;
    EXPECT_FALSE(settings.Save(fields));
    EXPECT_EQ(files.IniRead("PHP", "upload_max_filesize", "", kIni), "2");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(kPhpIni), std::string::npos);
}

void SeedMySql(FakeConfigFiles& files)
{
    files.Set(kIni, "MySQL", "port", "3306");
    files.Set(kIni, "MySQL", "max_connections", "100");
    files.Set(kIni, "MySQL", "default-storage-engine", "INNODB");
    files.Set(kIni, "MySQL", "default-character-set", "gbk");
}

struct MySqlFixture : testing::Test
{
    MySqlFixture() { SeedMySql(files); }
    FakeConfigFiles files;
    FakeMessages messages;
    MySqlSettings settings {files, messages};
};

TEST_F(MySqlFixture, OpeningMapsTheStoredEngineAndCharacterSetToListEntries)
{
    EXPECT_EQ(settings.Load(), (MySqlFields {"3306", "100", "INNODB", "gbk"}));
    const struct
    {
        const char* engine;
        const char* character;
        const char* shownEngine;
        const char* shownCharacter;
    } rows[] = {
        {"InnoDB", "utf8", "MyISAM", "utf8"},
        {"innodb", "latin1", "MyISAM", "latin1"},
        {"", "", "MyISAM", ""},
        {"MyISAM", "big5", "MyISAM", ""},
        {"INNODB", "UTF8", "INNODB", ""},
    };
    for (const auto& row : rows) {
        files.Set(kIni, "MySQL", "default-storage-engine", row.engine);
        files.Set(kIni, "MySQL", "default-character-set", row.character);
        const MySqlFields shown = settings.Load();
        EXPECT_EQ(shown.engine, row.shownEngine) << row.engine;
        EXPECT_EQ(shown.character, row.shownCharacter) << row.character;
    }
}

TEST_F(MySqlFixture, WritesFollowTheTableAndTheServerGetsItsOwnCharacterSetName)
{
    struct Row
    {
        const char* name;
        MySqlFields fields;
        std::vector<Call> calls;
    };
    const std::vector<Row> rows {
        {"nothing changed", {"3306", "100", "INNODB", "gbk"}, {}},
        {"character set only", {"3306", "100", "INNODB", "utf8"},
            {Ini(kIni, "MySQL", "default-character-set", "utf8"),
                Ini(kMyIni, "mysql", "default-character-set", "utf8"),
                Ini(kMyIni, "mysqld", "character-set-server", "utf8")}},
        {"port only", {"-1", "100", "INNODB", "gbk"},
            {Ini(kIni, "MySQL", "port", "-1"), Ini(kMyIni, "client", "port", "-1"),
                Ini(kMyIni, "mysqld", "port", "-1")}},
        {"everything", {"3307", "200", "MyISAM", "latin1"},
            {Ini(kIni, "MySQL", "port", "3307"), Ini(kMyIni, "client", "port", "3307"),
                Ini(kMyIni, "mysqld", "port", "3307"), Ini(kIni, "MySQL", "max_connections", "200"),
                Ini(kMyIni, "mysqld", "max_connections", "200"),
                Ini(kIni, "MySQL", "default-storage-engine", "MyISAM"),
                Ini(kMyIni, "mysqld", "default-storage-engine", "MyISAM"),
                Ini(kIni, "MySQL", "default-character-set", "latin1"),
                Ini(kMyIni, "mysql", "default-character-set", "latin1"),
                Ini(kMyIni, "mysqld", "character-set-server", "latin1")}},
        {"no selection leaves the character set alone", {"3306", "100", "INNODB", ""}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SeedMySql(files);
        files.calls.clear();
        messages.shown.clear();
        settings.Load();
        EXPECT_TRUE(settings.Save(row.fields));
        EXPECT_EQ(files.calls, row.calls);
        EXPECT_EQ(messages.shown,
            row.calls.empty() ? std::vector<std::string> {} : std::vector<std::string> {kMySqlDone});
    }
}

TEST_F(MySqlFixture, BadNumbersGiveOnlyTheFirstMessage)
{
    const struct
    {
        const char* port;
        const char* connections;
        const char* message;
    } rows[] = {
        {"3306.0", "100", "MySQL端口请填正整数！"},
        {"03306", "100", "MySQL端口请填正整数！"},
        {"+3306", "100", "MySQL端口请填正整数！"},
        {"3.3e3", "100", "MySQL端口请填正整数！"},
        {" 3306", "100", "MySQL端口请填正整数！"},
        {"1234567890123456", "100", "MySQL端口请填正整数！"},
        {"abc", "100", "MySQL端口请填数字！"},
        {"", "", "MySQL端口请填数字！"},
        {"abc", "x", "MySQL端口请填数字！"},
        {"3306", "x", "MySQL最大连接数请填数字！"},
        {"3306", "1234567890123456", "MySQL最大连接数请填正整数！"},
    };
    for (const auto& row : rows) {
        settings.Load();
        messages.shown.clear();
        EXPECT_FALSE(settings.Save({row.port, row.connections, "INNODB", "gbk"})) << row.port;
        EXPECT_EQ(messages.shown, std::vector<std::string> {row.message})
            << row.port << " " << row.connections;
        EXPECT_TRUE(files.calls.empty());
    }
}

TEST_F(MySqlFixture, AStaleServerCharacterSetLineIsRemoved)
{
    files.texts[kMyIni] = "[client]\r\nport=3306\r\n[mysql]\r\ndefault-character-set=gbk\r\n"
                          "[mysqld]\r\nport=3306\r\ndefault-character-set=gbk\r\n";
    settings.Load();
    EXPECT_TRUE(settings.Save({"3306", "100", "INNODB", "utf8"}));
    ASSERT_EQ(files.calls.size(), 4u);
    EXPECT_EQ(files.calls[3],
        (Call {"WriteTextFile", kMyIni, "", "",
            "[client]\r\nport=3306\r\n[mysql]\r\n"
            "default-character-set=gbk\r\n[mysqld]\r\nport=3306\r\n"}));
}

TEST(WithoutOptionLines, RemovesTheKeyOnlyInTheNamedSections)
{
    const struct
    {
        const char* name;
        const char* content;
        std::optional<std::string> expected;
    } rows[] = {
        {"absent", "[mysqld]\nport=1\n", std::nullopt},
        {"other section only", "[mysql]\ndefault-character-set=gbk\n", std::nullopt},
        {"commented out", "[mysqld]\n;default-character-set=gbk\n# default-character-set=gbk\n",
            std::nullopt},
        {"loose prefix is harmless", "[mysqld]\nloose-default-character-set=gbk\n", std::nullopt},
        {"plain", "[mysqld]\nport=1\ndefault-character-set=gbk\nx=2\n", "[mysqld]\nport=1\nx=2\n"},
        {"blanks, case and underscores", "[ MySQLd ]\n  Default_Character_Set = gbk\n", "[ MySQLd ]\n"},
        {"every [mysqld] section",
            "[mysqld]\ndefault-character-set=a\n[mysql]\ndefault-character-set=b\n[mysqld]\n"
            "default-character-set=c",
            "[mysqld]\n[mysql]\ndefault-character-set=b\n[mysqld]\n"},
        {"CR line ends", "[mysqld]\rdefault-character-set=a\rport=1\r", "[mysqld]\rport=1\r"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WithoutOptionLines(row.content, "mysqld", "default-character-set"), row.expected)
            << row.name;
}

TEST_F(MySqlFixture, AFailedOptionFileWritePutsTheRecordBack)
{
    settings.Load();
    files.failOn = kMyIni;
    EXPECT_FALSE(settings.Save({"3307", "100", "INNODB", "gbk"}));
    EXPECT_EQ(files.IniRead("MySQL", "port", "", kIni), "3306");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(kMyIni + ": Permission denied"), std::string::npos);
}

// A FIFO in place of Larkspan.ini or vhosts.conf would have hung the window at opening; now each
// dialog opens at once with its fields empty and says once why they are empty.
TEST(SettingsDialogs, AFifoInPlaceOfAFileIsReportedOnceAtOpening)
{
    test::TempDir bundle;
    std::filesystem::create_directories(bundle / "Apache2/conf");
    for (const char* name : {"Larkspan.ini", "Apache2/conf/vhosts.conf"})
        ASSERT_EQ(::mkfifo((bundle / name).c_str(), 0600), 0);
    DiskConfigFiles files(bundle.path());
    const std::string notRegular = ": 不是普通文件（是 FIFO、设备或套接字）";
    const std::string settings = "无法读取设置文件：\n" + (bundle / "Larkspan.ini") + notRegular;
    const struct
    {
        const char* name;
        std::function<bool(MessageBoxes&)> open; ///< whether every field came back empty
        std::string message;
    } rows[] = {
        {"Apache", [&](MessageBoxes& m) { return ApacheSettings(files, m).Load() == ApacheFields {}; },
            settings},
        {"PHP", [&](MessageBoxes& m) { return PhpSettings(files, m).Load().maxTime.empty(); }, settings},
        {"MySQL", [&](MessageBoxes& m) { return MySqlSettings(files, m).Load().port.empty(); }, settings},
        {"virtual hosts", [&](MessageBoxes& m) { return VirtualHosts(files, m).Load().empty(); },
            "无法读取站点配置文件：\n" + (bundle / "Apache2/conf/vhosts.conf") + notRegular},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeMessages messages;
        EXPECT_TRUE(row.open(messages));
        EXPECT_EQ(messages.shown, std::vector<std::string> {row.message});
    }
}

} // namespace
} // namespace larkspan
