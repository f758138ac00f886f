// The settings dialogs' decisions: what is loaded, what each file holds after a save, which message.
#include "config/disk_config_files.h"
#include "config/native_path.h"
#include "dialogs/apache_settings.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/php_settings.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

using Call = FakeConfigFiles::Call;

const std::string kIni = "D:\\bundle\\Larkspan.ini";
const std::string kHttpd = "D:\\bundle\\Apache2\\conf\\httpd.conf";
const std::string kPhpIni = "D:\\bundle\\PHP5\\php.ini";
const std::string kMyIni = "D:\\bundle\\MySQL\\my.ini";
const std::string kApacheDone = "设置成功，重起Apache生效。";
const std::string kMySqlDone = "设置成功，重起MSQL生效。";

const std::string kHttpdConf
    = "# GBK comment \xD6\xD0\xCE\xC4\r\nListen 80\r\nServerAdmin admin@localhost\r\n"
      "ServerName localhost\r\nDocumentRoot \"D:\\www\"\r\n"
      "DirectoryIndex index.html index.php\r\n";
const std::string kPhpIniText = "[PHP]\r\n; upload_max_filesize = 16M\r\nupload_max_filesize = 2M\r\n";
const std::string kMyIniText = "[client]\nport=3306\n[mysqld]\nport=3306\n[mysql]\n";

std::string Ini(const std::string& section, const std::string& key, const FakeConfigFiles& files,
    const std::string& file = kIni)
{
    return IniLookup(files.Text(file), section, key).value_or("(missing)");
}

void SeedApache(FakeConfigFiles& files)
{
    files.texts.erase(kIni);
    files.Set(kIni, "Apache", "Listen", "80");
    files.Set(kIni, "Apache", "ServerAdmin", "admin@localhost");
    files.Set(kIni, "Apache", "ServerName", "localhost");
    files.Set(kIni, "Apache", "DocumentRoot", "D:\\www");
    files.Set(kIni, "Apache", "DirectoryIndex", "index.html index.php");
    files.texts[kHttpd] = kHttpdConf;
}

void SeedPhp(FakeConfigFiles& files)
{
    for (const auto& [key, value] :
        std::vector<std::pair<const char*, const char*>> {{"short_open_tag", "On"},
            {"output_buffering", "Off"}, {"safe_mode", "Off"}, {"display_errors", "On"},
            {"register_globals", "Off"}, {"max_execution_time", "30"}, {"upload_max_filesize", "2"}})
        files.Set(kIni, "PHP", key, value);
    files.texts[kPhpIni] = kPhpIniText;
}

void SeedMySql(FakeConfigFiles& files)
{
    files.Set(kIni, "MySQL", "port", "3306");
    files.Set(kIni, "MySQL", "max_connections", "100");
    files.Set(kIni, "MySQL", "default-storage-engine", "INNODB");
    files.Set(kIni, "MySQL", "default-character-set", "gbk");
    files.texts[kMyIni] = kMyIniText;
}

struct Fixture : testing::Test
{
    std::unique_ptr<TextCodePage> utf8 = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeMessageBoxes messages;
};

struct ApacheFixture : Fixture
{
    ApacheFixture()
    {
        files.directories = {"D:\\www", "D:\\web", "D:\\we\"ird", "D:\\www\\", "\\\\server\\share"};
        SeedApache(files);
    }
    ApacheSettings settings {files, messages, *utf8};
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

TEST_F(ApacheFixture, ChangesReachLarkspanIniAndHttpdConfEachReplacedOnce)
{
    struct Row
    {
        const char* name;
        ApacheFields fields;
        std::vector<std::pair<std::string, std::string>> record; // key, value in [Apache]
        std::string httpd;
    };
    const std::vector<Row> rows {
        {"port only", {"81", "D:\\www", "localhost", "admin@localhost", "index.html index.php"},
            {{"Listen", "81"}, {"DocumentRoot", "D:\\www"}},
            "# GBK comment \xD6\xD0\xCE\xC4\r\nListen 81\r\nServerAdmin admin@localhost\r\nServerName "
            "localhost\r\n"
            "DocumentRoot \"D:\\www\"\r\nDirectoryIndex index.html index.php\r\n"},
        {"site directory is quoted only in httpd.conf",
            {"80", "D:\\web", "localhost", "admin@localhost", "index.html index.php"},
            {{"DocumentRoot", "D:\\web"}},
            "# GBK comment \xD6\xD0\xCE\xC4\r\nListen 80\r\nServerAdmin admin@localhost\r\nServerName "
            "localhost\r\n"
            "DocumentRoot \"D:\\web\"\r\nDirectoryIndex index.html index.php\r\n"},
        {"letter case counts as a change, all five at once", {"0", "D:\\web", "LocalHost", "a@b", "i.php"},
            {{"Listen", "0"}, {"ServerAdmin", "a@b"}, {"ServerName", "LocalHost"},
                {"DocumentRoot", "D:\\web"}, {"DirectoryIndex", "i.php"}},
            "# GBK comment \xD6\xD0\xCE\xC4\r\nListen 0\r\nServerAdmin a@b\r\nServerName LocalHost\r\n"
            "DocumentRoot \"D:\\web\"\r\nDirectoryIndex i.php\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SeedApache(files);
        files.calls.clear();
        messages.shown.clear();
        settings.Load();
        EXPECT_TRUE(settings.Save(row.fields));
        EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, kHttpd}));
        for (const auto& [key, value] : row.record)
            EXPECT_EQ(Ini("Apache", key, files), value) << key;
        EXPECT_EQ(files.Text(kHttpd), row.httpd);
        EXPECT_EQ(messages.shown, std::vector<std::string> {kApacheDone});
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
        {"80", "", "网站的目录不存在！"},
        {"80", "D:\\w*", "网站的目录不存在！"},
        {"80", "D:\\ww?", "网站的目录不存在！"},
        {"0", "D:\\www", nullptr},
        {"-80", "D:\\www", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.listen) + " / " + row.root);
        SeedApache(files);
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
            EXPECT_EQ(Ini("Apache", "Listen", files), row.listen);
            EXPECT_NE(
                files.Text(kHttpd).find(std::string("\r\nListen ") + row.listen + "\r\n"), std::string::npos);
        }
    }
}

TEST_F(ApacheFixture, ValuesTheFilesCannotHoldAreRefusedNamingTheFieldBeforeAnyWrite)
{
    struct Row
    {
        const char* name;
        ApacheFields fields;
        const char* field;
    };
    const Row rows[] = {
        {"quote in the site directory", {"81", "D:\\we\"ird", "localhost", "a", "i"}, "网站目录"},
        {"site directory ending in a backslash", {"81", "D:\\www\\", "localhost", "a", "i"}, "网站目录"},
        {"doubled backslash Apache would halve", {"81", "\\\\server\\share", "localhost", "a", "i"},
            "网站目录"},
        {"line break in the server name", {"81", "D:\\www", "local\nhost", "a", "i"}, "网站名称"},
        {"CR in the mail address", {"81", "D:\\www", "localhost", "a\rb", "i"}, "站长信箱"},
        {"NUL in the default pages", {"81", "D:\\www", "localhost", "a", std::string("i\0x", 3)}, "默认首页"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.Load();
        messages.shown.clear();
        EXPECT_FALSE(settings.Save(row.fields));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].find(std::string("“") + row.field + "”"), std::string::npos)
            << messages.shown[0];
        EXPECT_TRUE(files.calls.empty());
    }
}

TEST_F(Fixture, AnUnreadableSettingsFileIsReportedWithItsPathAndNeverOverwritten)
{
    files.texts[kIni] = std::string("\x7F"
                                    "ELF\x02\x01\x01\0\0\0[Apache]\nListen=80\n",
        24);
    files.texts[kHttpd] = kHttpdConf;
    files.directories = {"D:\\www"};
    ApacheSettings settings {files, messages, *utf8};
    EXPECT_EQ(settings.Load(), ApacheFields {});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].rfind("无法读取设置文件：\n" + NativePath(kIni) + ": ", 0), 0u)
        << messages.shown[0];

    messages.shown.clear();
    EXPECT_FALSE(settings.Save({"80", "D:\\www", "", "", ""}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find(NativePath(kIni)), std::string::npos);
    EXPECT_TRUE(files.calls.empty());

    files.directories.push_back(kIni);
    messages.shown.clear();
    settings.Load();
    EXPECT_EQ(messages.shown, std::vector<std::string> {"无法读取设置文件：\n" + kIni + ": Is a directory"});
}

TEST_F(Fixture, BytesTheCodePageCannotShowSurviveAndAreReplacedOnlyAfterAsking)
{
    const std::string gbkAdmin = "\xB9\xDC\xC0\xED\xD4\xB1@localhost"; // 管理员 in GBK
    SeedApache(files);
    files.Set(kIni, "Apache", "ServerAdmin", gbkAdmin);
    files.directories = {"D:\\www"};
    const std::string record = files.Text(kIni);
    ApacheSettings settings {files, messages, *utf8};

    ApacheFields fields = settings.Load();
    EXPECT_NE(fields.admin.find("\uFFFD"), std::string::npos) << fields.admin;
    fields.listen = "81";
    EXPECT_TRUE(settings.Save(fields));
    EXPECT_EQ(Ini("Apache", "ServerAdmin", files), gbkAdmin);
    EXPECT_NE(files.Text(kHttpd).find("ServerAdmin admin@localhost\r\n"), std::string::npos);
    EXPECT_TRUE(messages.asked.empty());

    SeedApache(files);
    files.Set(kIni, "Apache", "ServerAdmin", gbkAdmin);
    files.calls.clear();
    fields = settings.Load();
    fields.admin = "root@localhost";
    messages.answers = {false};
    messages.shown.clear();
    EXPECT_FALSE(settings.Save(fields));
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_NE(messages.asked[0].find("“站长信箱”"), std::string::npos);
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_TRUE(settings.Save(fields));
    EXPECT_EQ(Ini("Apache", "ServerAdmin", files), "root@localhost");

    // With the GBK code page the same bytes show as text and a change is encoded in GBK.
    const auto gbk = MakeTextCodePage("GBK");
    ASSERT_NE(gbk, nullptr);
    files.Set(kIni, "Apache", "ServerAdmin", gbkAdmin);
    ApacheSettings gbkSettings {files, messages, *gbk};
    fields = gbkSettings.Load();
    EXPECT_EQ(fields.admin, "管理员@localhost");
    fields.sname = "站点";
    messages.asked.clear();
    EXPECT_TRUE(gbkSettings.Save(fields));
    EXPECT_EQ(Ini("Apache", "ServerName", files), "\xD5\xBE\xB5\xE3");
    EXPECT_EQ(Ini("Apache", "ServerAdmin", files), gbkAdmin);
    EXPECT_TRUE(messages.asked.empty());
    fields.sname = "😀";
    messages.shown.clear();
    gbkSettings.Load();
    EXPECT_FALSE(gbkSettings.Save(fields));
    EXPECT_EQ(messages.shown,
        std::vector<std::string> {"“网站名称”含有系统代码页无法表示的字符，无法写入配置文件。"});
}

// A save through a fresh `Settings` of the fields as `change` leaves them.
template <typename Settings, typename Fields>
std::function<bool(FakeConfigFiles&, FakeMessageBoxes&, const TextCodePage&)> SaveChanged(
    void (*change)(Fields&))
{
    return [change](FakeConfigFiles& files, FakeMessageBoxes& messages, const TextCodePage& codePage) {
        Settings settings(files, messages, codePage);
        Fields fields = settings.Load();
        change(fields);
        return settings.Save(fields);
    };
}

// A setting goes to Larkspan.ini and to its server file. Whichever write fails, the two never
// disagree: the other file is put back, or the message names which files now differ.
TEST_F(Fixture, ASaveFailingAtAnyWriteLeavesNoFileDisagreeing)
{
    struct Row
    {
        const char* name;
        std::string serverFile;
        std::function<bool(FakeConfigFiles&, FakeMessageBoxes&, const TextCodePage&)> save;
    };
    const auto apache = SaveChanged<ApacheSettings, ApacheFields>;
    const auto php = SaveChanged<PhpSettings, PhpFields>;
    const auto mysql = SaveChanged<MySqlSettings, MySqlFields>;
    const Row rows[] = {
        {"Apache port", kHttpd, apache([](ApacheFields& f) { f.listen = "81"; })},
        {"Apache mail address", kHttpd, apache([](ApacheFields& f) { f.admin = "a@b"; })},
        {"Apache server name", kHttpd, apache([](ApacheFields& f) { f.sname = "n"; })},
        {"Apache site directory", kHttpd, apache([](ApacheFields& f) { f.root = "D:\\web"; })},
        {"Apache default pages", kHttpd, apache([](ApacheFields& f) { f.index = "i.php"; })},
        {"Apache, every row", kHttpd, apache([](ApacheFields& f) {
             f = {"0", "D:\\web", "n", "a@b", "i"};
         })},
        {"PHP switch", kPhpIni, php([](PhpFields& f) { f.safeMode = "On"; })},
        {"PHP run time", kPhpIni, php([](PhpFields& f) { f.maxTime = "60"; })},
        {"PHP upload size, two keys", kPhpIni, php([](PhpFields& f) { f.uploadFile = "8"; })},
        {"PHP, every row", kPhpIni, php([](PhpFields& f) {
             f = {"Off", "On", "On", "Off", "On", "-1", "16"};
         })},
        {"MySQL port, two sections", kMyIni, mysql([](MySqlFields& f) { f.port = "3307"; })},
        {"MySQL connections", kMyIni, mysql([](MySqlFields& f) { f.connections = "5"; })},
        {"MySQL engine", kMyIni, mysql([](MySqlFields& f) { f.engine = "MyISAM"; })},
        {"MySQL character set, two sections", kMyIni, mysql([](MySqlFields& f) { f.character = "utf8"; })},
        {"MySQL, every row", kMyIni, mysql([](MySqlFields& f) {
             f = {"1", "2", "MyISAM", "latin1"};
         })},
    };
    const auto seed = [](FakeConfigFiles& files) {
        files.directories = {"D:\\www", "D:\\web"};
        SeedApache(files);
        SeedPhp(files);
        SeedMySql(files);
    };
    for (const Row& row : rows) {
        FakeConfigFiles reference;
        seed(reference);
        // 0: Larkspan.ini fails; 1: the server file fails, Larkspan.ini is put back; 2: putting
        // it back fails as well.
        for (int failure = 0; failure < 3; ++failure) {
            SCOPED_TRACE(std::string(row.name) + ", failure " + std::to_string(failure));
            FakeConfigFiles disk;
            seed(disk);
            disk.failingWrites = failure == 2 ? std::set<int> {1, 2} : std::set<int> {failure};
            FakeMessageBoxes shown;
            EXPECT_FALSE(row.save(disk, shown, *utf8));
            ASSERT_EQ(shown.shown.size(), 1u);
            const std::string& message = shown.shown[0];
            EXPECT_EQ(
                message.rfind("设置保存失败：\n" + (failure == 0 ? kIni : row.serverFile) + ": ", 0), 0u)
                << message;
            EXPECT_EQ(disk.Text(row.serverFile), reference.Text(row.serverFile));
            if (failure < 2) {
                EXPECT_EQ(disk.texts, reference.texts);
                EXPECT_EQ(message.find("不一致"), std::string::npos) << message;
            } else {
                EXPECT_NE(disk.Text(kIni), reference.Text(kIni));
                EXPECT_NE(message.find("已是新的设置：" + NativePath(kIni) + "\n"), std::string::npos)
                    << message;
                EXPECT_NE(message.find("仍是原来的设置：" + NativePath(row.serverFile)), std::string::npos)
                    << message;
            }
        }
    }
}

struct PhpFixture : Fixture
{
    PhpFixture() { SeedPhp(files); }
    PhpSettings settings {files, messages, *utf8};
};

TEST_F(PhpFixture, OpeningShowsTheRecordAndOnlyExactOnSelectsOn)
{
    EXPECT_EQ(settings.Load(), (PhpFields {"On", "Off", "Off", "On", "Off", "30", "2"}));
    for (const char* stored : {"on", "ON", "1", ""}) {
        files.Set(kIni, "PHP", "display_errors", stored);
        EXPECT_EQ(settings.Load().displayErrors, "Off") << stored;
    }
}

TEST_F(PhpFixture, ChangedRowsReachBothFilesAndTheUploadLimitCarriesItsUnit)
{
    const PhpFields loaded = settings.Load();
    EXPECT_TRUE(settings.Save(loaded));
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    PhpFields upload = loaded;
    upload.uploadFile = "8";
    EXPECT_TRUE(settings.Save(upload));
    EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, kPhpIni}));
    EXPECT_EQ(Ini("PHP", "upload_max_filesize", files), "8");
    EXPECT_EQ(files.Text(kPhpIni),
        "[PHP]\r\n; upload_max_filesize = 16M\r\nupload_max_filesize = 8M\r\npost_max_size=8M\r\n");
    EXPECT_EQ(messages.shown, std::vector<std::string> {kApacheDone});

    settings.Load();
    EXPECT_TRUE(settings.Save({"Off", "On", "On", "Off", "On", "-1", "16"}));
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>> {
             {"short_open_tag", "Off"}, {"output_buffering", "On"}, {"safe_mode", "On"},
             {"display_errors", "Off"}, {"register_globals", "On"}, {"max_execution_time", "-1"}}) {
        EXPECT_EQ(Ini("PHP", key, files), value) << key;
        EXPECT_EQ(Ini("PHP", key, files, kPhpIni), value) << key;
    }
    EXPECT_EQ(Ini("PHP", "upload_max_filesize", files), "16");
    EXPECT_EQ(Ini("PHP", "upload_max_filesize", files, kPhpIni), "16M");
    EXPECT_EQ(Ini("PHP", "post_max_size", files, kPhpIni), "16M");
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
    EXPECT_EQ(Ini("PHP", "safe_mode", files), "Off");
    EXPECT_EQ(Ini("PHP", "safe_mode", files, kPhpIni), "Off");
}

struct MySqlFixture : Fixture
{
    MySqlFixture() { SeedMySql(files); }
    MySqlSettings settings {files, messages, *utf8};
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

TEST_F(MySqlFixture, ChangedRowsReachEverySectionAndTheServerGetsItsOwnCharacterSetName)
{
    struct Row
    {
        const char* name;
        MySqlFields fields;
        std::string myIni; // "" when nothing is written
    };
    const std::vector<Row> rows {
        {"nothing changed", {"3306", "100", "INNODB", "gbk"}, ""},
        {"no selection leaves the character set alone", {"3306", "100", "INNODB", ""}, ""},
        {"character set only", {"3306", "100", "INNODB", "utf8"},
            "[client]\nport=3306\n[mysqld]\nport=3306\ncharacter-set-server=utf8\n[mysql]\n"
            "default-character-set=utf8\n"},
        {"port only", {"-1", "100", "INNODB", "gbk"}, "[client]\nport=-1\n[mysqld]\nport=-1\n[mysql]\n"},
        {"everything", {"3307", "200", "MyISAM", "latin1"},
            "[client]\nport=3307\n[mysqld]\nport=3307\nmax_connections=200\ndefault-storage-engine=MyISAM\n"
            "character-set-server=latin1\n[mysql]\ndefault-character-set=latin1\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SeedMySql(files);
        files.calls.clear();
        messages.shown.clear();
        settings.Load();
        EXPECT_TRUE(settings.Save(row.fields));
        if (row.myIni.empty()) {
            EXPECT_TRUE(files.calls.empty());
            EXPECT_TRUE(messages.shown.empty());
            continue;
        }
        EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, kMyIni}));
        EXPECT_EQ(files.Text(kMyIni), row.myIni);
        EXPECT_EQ(Ini("MySQL", "port", files), row.fields.port);
        EXPECT_EQ(Ini("MySQL", "default-character-set", files), row.fields.character);
        EXPECT_EQ(messages.shown, std::vector<std::string> {kMySqlDone});
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

TEST_F(MySqlFixture, AStaleServerCharacterSetLineIsRemovedInTheSameReplace)
{
    files.texts[kMyIni] = "[client]\r\nport=3306\r\n[mysql]\r\ndefault-character-set=gbk\r\n"
                          "[mysqld]\r\nport=3306\r\ndefault-character-set=gbk\r\n";
    settings.Load();
    EXPECT_TRUE(settings.Save({"3306", "100", "INNODB", "utf8"}));
    EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, kMyIni}));
    EXPECT_EQ(files.Text(kMyIni),
        "[client]\r\nport=3306\r\n[mysql]\r\ndefault-character-set=utf8\r\n[mysqld]\r\nport=3306\r\n"
        "character-set-server=utf8\r\n");
}

} // namespace
} // namespace larkspan
