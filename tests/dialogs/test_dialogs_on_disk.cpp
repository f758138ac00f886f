// The dialogs' windows offscreen on real files: text in other code pages, long values, directories
// as Apache sees them. POSIX only: test_dialogs_on_disk_posix.cpp.
#include "config/disk_config_files.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_program_runner.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextCursor>
#include <QTextDocument>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// 管理员 and 首页 in GBK, café in Latin-1: none of them is UTF-8.
const std::string kGbkAdmin = "\xB9\xDC\xC0\xED\xD4\xB1@localhost";
const std::string kGbkIndex = "\xCA\xD7\xD2\xB3.html index.html";
const std::string kLatin1Name = "caf\xE9";
const std::string kHosts = "# \xD6\xD0\xCE\xC4 GBK comment\r\n"
                           "# caf\xE9 Latin-1 comment\r\n"
                           "<VirtualHost *:80>\r\n"
                           "    ServerName a\xC2\xA0"
                           "b.test\r\n" // U+00A0
                           "    # one\xE2\x80\xA8two\r\n" // U+2028
                           "</VirtualHost>\n";

class DialogsOnDisk : public testing::Test
{
protected:
    DialogsOnDisk()
    {
        for (const char* folder : {"Apache2/conf", "MySQL", "PHP5", "www"})
            fs::create_directories(dir / folder);
        Write(dir / "Larkspan.ini",
            "[Apache]\r\nListen=8080\r\nServerAdmin=" + kGbkAdmin + "\r\nServerName=" + kLatin1Name
                + "\r\nDocumentRoot=" + (dir / "www") + "\r\nDirectoryIndex=" + kGbkIndex
                + "\r\n[PHP]\r\nshort_open_tag=On\r\noutput_buffering=Off\r\nsafe_mode=Off\r\n"
                  "display_errors=On\r\nregister_globals=Off\r\nmax_execution_time=30\r\nupload_max_filesize="
                  "2\r\n"
                  "[MySQL]\r\nport=3306\r\nmax_connections=100\r\ndefault-storage-engine=INNODB\r\n"
                  "default-character-set=\xD6\xD0\r\n");
        Write(dir / "Apache2/conf/httpd.conf",
            "# \xD6\xD0\xCE\xC4\r\nListen 8080\r\nServerAdmin " + kGbkAdmin + "\r\nDocumentRoot \""
                + (dir / "www") + "\"\r\nDirectoryIndex " + kGbkIndex + "\r\n");
        Write(dir / "Apache2/conf/vhosts.conf", kHosts);
        Write(dir / "PHP5/php.ini", "[PHP]\r\n; \xD6\xD0\r\nmax_execution_time = 30\r\n");
        Write(dir / "MySQL/my.ini", "[client]\nport=3306\n[mysqld]\nport=3306\n");
    }

    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.is_regular_file())
                files[entry.path().string()] = FileContents(entry.path());
        return files;
    }

    template <typename T> T* Control(QWidget& form, const char* name)
    {
        auto* control = form.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    test::TempDir dir;
    DiskConfigFiles files {dir.path()};
    FakeMessageBoxes messages;
    FakeLauncher launcher;
    FakeProgramRunner runner;
};

TEST_F(DialogsOnDisk, ConfirmingWithoutEditsLeavesEveryFileByteForByte)
{
    for (const char* name : {"UTF-8", "GBK", "ISO-8859-1"}) {
        SCOPED_TRACE(name);
        const auto codePage = MakeTextCodePage(name);
        ASSERT_NE(codePage, nullptr);
        const auto before = Snapshot();
        fapache apache(files, messages, *codePage);
        fphp php(files, messages, *codePage);
        fmysql mysql(files, launcher, messages, runner, *codePage);
        zhanform sites(files, messages, *codePage);
        const std::vector<std::pair<QDialog*, std::function<void()>>> dialogs {
            {&apache, [&] { apache.Form_Load(); }}, {&php, [&] { php.Form_Load(); }},
            {&mysql, [&] { mysql.Form_Load(); }}, {&sites, [&] { sites.Form_Load(); }}};
        for (const auto& [dialog, load] : dialogs) {
            load();
            dialog->show();
            Control<QPushButton>(*dialog, "Command1")->click();
            EXPECT_FALSE(dialog->isVisible()) << dialog->windowTitle().toStdString();
        }
        EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
        EXPECT_TRUE(messages.asked.empty());
        EXPECT_EQ(Snapshot(), before);
    }
}

TEST_F(DialogsOnDisk, GbkTextShowsAsChineseAndAnEditIsWrittenInGbk)
{
    const auto gbk = MakeTextCodePage("GBK");
    ASSERT_NE(gbk, nullptr);
    fapache form(files, messages, *gbk);
    form.Form_Load();
    form.show();
    EXPECT_EQ(Control<QLineEdit>(form, "admin")->text(), QString::fromUtf8("管理员@localhost"));
    EXPECT_EQ(Control<QLineEdit>(form, "index")->text(), QString::fromUtf8("首页.html index.html"));
    // The same bytes through Qt's own codec, where this Qt has one.
    QStringDecoder qtGbk("GB18030");
    if (qtGbk.isValid()) {
        EXPECT_EQ(
            Control<QLineEdit>(form, "admin")->text(), QString(qtGbk(QByteArray::fromStdString(kGbkAdmin))));
    } else {
        std::cout << "[ SKIPPED  ] Qt's GB18030 codec: not offered by this Qt build\n";
    }

    const std::string ini = FileContents(dir / "Larkspan.ini");
    const std::string httpd = FileContents(dir / "Apache2/conf/httpd.conf");
    Control<QLineEdit>(form, "index")->setText(QString::fromUtf8("首页.php"));
    Control<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起Apache生效。"});
    const std::string newIndex = "\xCA\xD7\xD2\xB3.php";
    if (QStringEncoder toGbk("GB18030"); toGbk.isValid()) {
        EXPECT_EQ(QByteArray(toGbk(QString::fromUtf8("首页.php"))).toStdString(), newIndex);
    }
    std::string expectedIni = ini;
    expectedIni.replace(expectedIni.find(kGbkIndex), kGbkIndex.size(), newIndex);
    std::string expectedHttpd = httpd;
    expectedHttpd.replace(expectedHttpd.find(kGbkIndex), kGbkIndex.size(), newIndex);
    EXPECT_EQ(FileContents(dir / "Larkspan.ini"), expectedIni);
    EXPECT_EQ(FileContents(dir / "Apache2/conf/httpd.conf"), expectedHttpd);
}

TEST_F(DialogsOnDisk, TheHostEditorKeepsUneditedLinesByteForByte)
{
    const auto utf8 = MakeTextCodePage("UTF-8");
    zhanform form(files, messages, *utf8);
    form.Form_Load();
    form.show();
    auto* host = Control<QPlainTextEdit>(form, "host");
    // An edit of one line through the editor, as typing would make it.
    QTextCursor cursor = host->document()->find("<VirtualHost *:80>");
    ASSERT_FALSE(cursor.isNull());
    cursor.insertText("<VirtualHost *:8080>");
    Control<QPushButton>(form, "Command1")->click();
    EXPECT_EQ(messages.shown, std::vector<std::string> {"站点信息已保存，重起Apache生效。"});
    std::string expected = kHosts;
    expected.replace(expected.find("*:80>"), 5, "*:8080>");
    EXPECT_EQ(FileContents(dir / "Apache2/conf/vhosts.conf"), expected);
}

TEST_F(DialogsOnDisk, TextBoxesHoldValuesLongerThan32767Characters)
{
    const auto utf8 = MakeTextCodePage("UTF-8");
    const std::string pages(40000, 'p');
    fapache apache(files, messages, *utf8);
    apache.Form_Load();
    apache.show();
    Control<QLineEdit>(apache, "index")->setText(QString::fromStdString(pages));
    Control<QPushButton>(apache, "Command1")->click();
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起Apache生效。"});
    EXPECT_EQ(files.IniRead("Apache", "DirectoryIndex", "", "Larkspan.ini"), pages);
    EXPECT_NE(FileContents(dir / "Apache2/conf/httpd.conf").find("DirectoryIndex " + pages + "\r\n"),
        std::string::npos);

    fmysql mysql(files, launcher, messages, runner, *utf8);
    mysql.Form_Load();
    const std::string password(40000, 'w');
    Control<QLineEdit>(mysql, "newpwd")->setText(QString::fromStdString(password));
    Control<QPushButton>(mysql, "Command3")->click();
    ASSERT_EQ(runner.runs.size(), 1u);
    EXPECT_EQ(runner.runs[0].command.arguments.back().text, password);
}

TEST_F(DialogsOnDisk, TheSiteDirectoryIsTheOneApacheWillUse)
{
    const auto utf8 = MakeTextCodePage("UTF-8");
    fs::create_directories(dir / "Apache2/htdocs");
    const struct
    {
        std::string root;
        std::string message; // empty: accepted
    } rows[] = {
        {dir / "www/", ""},
        {"htdocs", ""},
        {"www", "网站的目录不存在！"},
        {"../www", ""},
        {dir / "Larkspan.ini", "网站的目录不存在！"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.root);
        ApacheSettings settings(files, messages, *utf8);
        ApacheFields fields = settings.Load();
        fields.root = row.root;
        messages.shown.clear();
        EXPECT_EQ(settings.Save(fields), row.message.empty());
        ASSERT_EQ(messages.shown.size(), 1u);
        const std::string expected = row.message.empty() ? "设置成功，重起Apache生效。" : row.message;
        EXPECT_EQ(messages.shown[0].rfind(expected, 0), 0u) << messages.shown[0];
    }
}

} // namespace
} // namespace larkspan
