// A bundle in a Chinese folder with a Chinese site folder, Larkspan.ini in the ANSI code page (GBK)
// as every bundle of a Chinese Windows holds it: every path of it reaches the files and the command
// lines. Registered to run under a Chinese locale (code page 936).
#include "app/launch_commands.h"
#include "config/disk_config_files.h"
#include "config/win/wide_text.h"
#include "dialogs/apache_settings.h"
#include "dialogs/password_change.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_program_runner.h"
#include "platform/text_code_page.h"
#include "safety/settings_history.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "support/wine_locale_win.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

fs::path Wide(const std::string& utf8)
{
    return fs::path(WideFromUtf8(utf8).value());
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(Wide(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const std::string& path)
{
    return FileContents(Wide(path));
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).value().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class ChineseBundle : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::RunsInTheExpectedLocale());
        if (::GetACP() != 936)
            GTEST_SKIP() << "for a Chinese locale";
        fs::create_directories(Wide(m_appDir + "\\Apache2\\conf"));
        fs::create_directories(Wide(m_site + "\\phpMyAdmin\\libraries"));
        fs::create_directories(Wide(m_other));
        Write(m_appDir + "\\Larkspan.ini",
            "[Apache]\r\nListen=80\r\nDocumentRoot=" + Gbk(m_site) + "\r\nServerName=localhost\r\n");
        Write(m_appDir + "\\Apache2\\conf\\httpd.conf",
            "Listen 80\r\nDocumentRoot \"" + m_site + "\"\r\nServerName localhost\r\n");
    }

    std::string Gbk(const std::string& utf8) const { return m_settings->Encode(utf8).value(); }

    test::TempDir m_dir;
    const std::string m_appDir = m_dir / "绿色 套件";
    const std::string m_site = m_appDir + "\\网站";
    const std::string m_other = m_appDir + "\\新网站";
    DiskConfigFiles m_files {m_appDir};
    FakeMessageBoxes m_messages;
    const std::unique_ptr<TextCodePage> m_settings = MakeSystemTextCodePage();
    const std::unique_ptr<TextCodePage> m_paths = MakePathCodePage();
};

TEST_F(ChineseBundle, TheApacheDialogChecksTheSiteFolderAndWritesEachFileInItsOwnCodePage)
{
    ApacheSettings apache(m_files, m_messages, *m_settings, nullptr, m_paths.get());
    ApacheFields fields = apache.Load();
    ASSERT_EQ(fields.root, m_site);

    // Only the port changes: the site folder, as Larkspan.ini holds it, is found.
    fields.listen = "8080";
    ASSERT_TRUE(apache.Save(fields)) << ::testing::PrintToString(m_messages.shown);
    EXPECT_NE(
        Read(m_appDir + "\\Larkspan.ini").find("DocumentRoot=" + Gbk(m_site) + "\r\n"), std::string::npos);
    EXPECT_NE(Read(m_appDir + "\\Apache2\\conf\\httpd.conf").find("Listen 8080\r\n"), std::string::npos);

    // Another Chinese folder: GBK in Larkspan.ini, UTF-8 for Apache.
    fields = apache.Load();
    fields.root = m_other;
    ASSERT_TRUE(apache.Save(fields)) << ::testing::PrintToString(m_messages.shown);
    EXPECT_NE(
        Read(m_appDir + "\\Larkspan.ini").find("DocumentRoot=" + Gbk(m_other) + "\r\n"), std::string::npos);
    EXPECT_NE(Read(m_appDir + "\\Apache2\\conf\\httpd.conf").find("DocumentRoot \"" + m_other + "\"\r\n"),
        std::string::npos);
    EXPECT_EQ(apache.Load().root, m_other);

    // A folder that does not exist is still refused.
    fields.root = m_appDir + "\\没有";
    EXPECT_FALSE(apache.Save(fields));
    EXPECT_EQ(m_messages.shown.back(), "网站的目录不存在！");
}

TEST_F(ChineseBundle, TheSiteFolderReachesThePageTheFolderWindowAndTheEditor)
{
    FakeLauncher launcher;
    FakeDialogHost dialogs;
    SettingsHistory history(m_appDir);
    LaunchCommands commands(
        m_files, launcher, m_messages, dialogs, history, {m_settings.get(), m_paths.get()});

    commands.phpinfo();
    EXPECT_EQ(Read(m_site + "\\phpinfo.php"), "<?php   phpinfo();   ?>\r\n");
    commands.wwwroot();
    commands.phpmyadmininc();
    EXPECT_TRUE(m_messages.shown.empty()) << ::testing::PrintToString(m_messages.shown);
    ASSERT_EQ(launcher.launches.size(), 3u);
    EXPECT_EQ(launcher.launches[0].line(), "explorer.exe http://localhost/phpinfo.php");
    EXPECT_EQ(launcher.launches[1].command.arguments.at(0).text, m_site);
    EXPECT_TRUE(IsFolder(launcher.launches[1].command.arguments.at(0).text));
    EXPECT_EQ(launcher.launches[2].command.arguments.at(0).text,
        m_site + "\\phpMyAdmin\\libraries\\config.default.php");
}

// After a password change phpMyAdmin's configuration in the site folder is found and changed.
TEST_F(ChineseBundle, PhpMyAdminInTheSiteFolderFollowsThePassword)
{
    const std::string config = m_site + "\\phpMyAdmin\\config.inc.php";
    Write(config,
        "<?php\r\n$i = 1;\r\n$cfg['Servers'][$i]['auth_type'] = 'config';\r\n"
        "$cfg['Servers'][$i]['user'] = 'root';\r\n$cfg['Servers'][$i]['password'] = '';\r\n");
    FakeLauncher launcher;
    FakeProgramRunner runner;
    PasswordChange change(
        m_files, launcher, m_messages, runner, *m_settings, nullptr, std::chrono::seconds(30), m_paths.get());
    ASSERT_TRUE(change.Start("", "新密码", [](bool) {}));
    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    ASSERT_EQ(m_messages.asked.size(), 2u);
    EXPECT_NE(m_messages.asked[1].find(config), std::string::npos) << m_messages.asked[1];
    EXPECT_NE(Read(config).find("['password'] = '" + Gbk("新密码") + "';"), std::string::npos)
        << Read(config);
}

TEST_F(ChineseBundle, TheHostEditorWritesApachesPathsInUtf8AndKeepsOlderLines)
{
    const std::string vhosts = m_appDir + "\\Apache2\\conf\\vhosts.conf";
    // An older line in GBK (a comment a Chinese editor wrote), and a UTF-8 one.
    Write(vhosts, "# " + Gbk("站点") + "\r\n<VirtualHost *:80>\r\n</VirtualHost>\r\n");
    VirtualHosts hosts(m_files, m_messages, *m_paths);
    const std::string shown = hosts.Load();
    EXPECT_EQ(shown, "# 站点\r\n<VirtualHost *:80>\r\n</VirtualHost>\r\n");
    ASSERT_TRUE(hosts.Save(
        "# 站点\r\n<VirtualHost *:80>\r\n    DocumentRoot \"" + m_site + "\"\r\n</VirtualHost>\r\n"));
    EXPECT_EQ(Read(vhosts),
        "# " + Gbk("站点") + "\r\n<VirtualHost *:80>\r\n    DocumentRoot \"" + m_site
            + "\"\r\n</VirtualHost>\r\n");
    EXPECT_TRUE(m_messages.asked.empty());
}

} // namespace
} // namespace larkspan
