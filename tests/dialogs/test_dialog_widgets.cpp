// The dialogs' windows on the offscreen platform: controls, focus order, and what the buttons do.
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_program_runner.h"
#include "support/platform_line_end.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

const std::string kIni = "D:\\bundle\\Larkspan.ini";
const std::string kHttpd = "D:\\bundle\\Apache2\\conf\\httpd.conf";

template <typename T> T* Control(QWidget& form, const char* name)
{
    auto* control = form.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

std::string Text(QWidget& form, const char* name)
{
    return Control<QLineEdit>(form, name)->text().toStdString();
}
void Type(QWidget& form, const char* name, const char* text)
{
    Control<QLineEdit>(form, name)->setText(QString::fromUtf8(text));
}
void Click(QWidget& form, const char* name)
{
    Control<QPushButton>(form, name)->click();
}
std::string Selected(QWidget& form, const char* name)
{
    return Control<QComboBox>(form, name)->currentText().toStdString();
}
void Pick(QWidget& form, const char* name, const char* entry)
{
    auto* list = Control<QComboBox>(form, name);
    list->setCurrentIndex(list->findText(QString::fromUtf8(entry)));
}

// The names of `names`' controls in the order the Tab key visits them, starting at the first.
std::vector<std::string> FocusOrder(QWidget& form, const std::vector<std::string>& names)
{
    std::vector<std::string> order;
    QWidget* start = form.findChild<QWidget*>(QString::fromStdString(names.front()));
    QWidget* widget = start;
    do {
        const std::string name = widget->objectName().toStdString();
        if (std::find(names.begin(), names.end(), name) != names.end())
            order.push_back(name);
        widget = widget->nextInFocusChain();
    } while (widget != start && order.size() <= names.size());
    return order;
}

QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

struct ApacheWindow : testing::Test
{
    ApacheWindow()
    {
        files.directories = {"D:\\www", "D:\\web"};
        files.Set(kIni, "Apache", "Listen", "80");
        files.Set(kIni, "Apache", "DocumentRoot", "D:\\www");
        files.Set(kIni, "Apache", "ServerName", "localhost");
        files.texts[kHttpd] = "Listen 80\n";
        form.SetFolderPicker([this](QWidget*, const QString& prompt) {
            prompts.push_back(prompt.toStdString());
            return picked;
        });
        form.Form_Load();
        form.show();
    }
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    fapache form {files, messages, *codePage};
    QString picked;
    std::vector<std::string> prompts;
};

TEST_F(ApacheWindow, HasTheFixedLayoutAndShowsTheRecord)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Apache设置"));
    EXPECT_EQ(form.size(), QSize(352, 228));
    EXPECT_EQ(Control<QGroupBox>(form, "Frame1")->geometry(), Twips(240, 240, 4815, 2655));
    EXPECT_EQ(Control<QLineEdit>(form, "root")->geometry(), Twips(1440, 720, 1935, 270));
    EXPECT_EQ(Control<QPushButton>(form, "Command3")->geometry(), Twips(3600, 720, 615, 255));
    EXPECT_EQ(Control<QPushButton>(form, "Command1")->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(Control<QLabel>(form, "Label2")->text(), QString::fromUtf8("网站目录："));
    EXPECT_EQ(Text(form, "listen"), "80");
    EXPECT_EQ(Text(form, "root"), "D:\\www");
    EXPECT_EQ(Text(form, "admin"), "");
    EXPECT_EQ(
        FocusOrder(form, {"listen", "root", "Command3", "sname", "admin", "index", "Command2", "Command1"}),
        (std::vector<std::string> {
            "listen", "root", "Command3", "sname", "admin", "index", "Command2", "Command1"}));
}

TEST_F(ApacheWindow, SavingWritesChangesShowsTheMessageAndCloses)
{
    Click(form, "Command1");
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(form.isVisible());

    form.Form_Load();
    form.show();
    Type(form, "listen", "81");
    Click(form, "Command1");
    EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, kHttpd}));
    EXPECT_EQ(files.IniRead("Apache", "Listen", "", "Larkspan.ini"), "81");
    EXPECT_EQ(files.Text(kHttpd), "Listen 81\n");
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起Apache生效。"});
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ApacheWindow, ABadEntryKeepsTheDialogOpenWithTheUsersText)
{
    Type(form, "listen", "8e1");
    Type(form, "sname", "changed");
    Click(form, "Command1");
    EXPECT_EQ(messages.shown, std::vector<std::string> {"Apache端口请填正整数！"});
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Text(form, "listen"), "8e1");
    EXPECT_EQ(Text(form, "sname"), "changed");
}

TEST_F(ApacheWindow, BrowsingPutsThePickedFolderAndCancellingEmptiesTheBox)
{
    picked = QString::fromUtf8("D:\\web");
    Click(form, "Command3");
    EXPECT_EQ(Text(form, "root"), "D:\\web");
    picked.clear();
    Click(form, "Command3");
    EXPECT_EQ(Text(form, "root"), "");
    EXPECT_EQ(prompts, (std::vector<std::string> {"请选择网站的目录", "请选择网站的目录"}));
}

TEST_F(ApacheWindow, CancelAndTheCloseBoxWriteNothingAndReopeningReloads)
{
    Type(form, "listen", "81");
    Click(form, "Command2");
    EXPECT_FALSE(form.isVisible());
    form.Form_Load();
    form.show();
    Type(form, "listen", "82");
    form.close();
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(messages.shown.empty());

    files.Set(kIni, "Apache", "Listen", "8080");
    form.Form_Load();
    EXPECT_EQ(Text(form, "listen"), "8080");
}

struct PhpWindow : testing::Test
{
    PhpWindow()
    {
        for (const auto& [key, value] :
            std::vector<std::pair<const char*, const char*>> {{"short_open_tag", "On"},
                {"output_buffering", "Off"}, {"safe_mode", "Off"}, {"display_errors", "On"},
                {"register_globals", "on"}, {"max_execution_time", "30"}, {"upload_max_filesize", "2"}})
            files.Set(kIni, "PHP", key, value);
        form.Form_Load();
        form.show();
    }
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    fphp form {files, messages, *codePage};
};

TEST_F(PhpWindow, ShowsTheRecordWithFixedListsAndFocusOrder)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("PHP设置"));
    EXPECT_EQ(form.size(), QSize(392, 243));
    EXPECT_EQ(Selected(form, "short"), "On");
    EXPECT_EQ(Selected(form, "buffer"), "Off");
    EXPECT_EQ(Selected(form, "display"), "On");
    EXPECT_EQ(Selected(form, "register"), "Off");
    EXPECT_EQ(Control<QComboBox>(form, "safe")->count(), 2);
    EXPECT_EQ(Text(form, "max_time"), "30");
    EXPECT_EQ(Text(form, "upload_file"), "2");
    const std::vector<std::string> order {
        "max_time", "upload_file", "register", "short", "buffer", "Command1", "Command2", "safe", "display"};
    EXPECT_EQ(FocusOrder(form, order), order);
}

TEST_F(PhpWindow, SavingWritesTheChangedRowsInTableOrder)
{
    // register_globals was stored as "on", so it is rewritten as the shown "Off".
    Type(form, "upload_file", "8");
    Click(form, "Command1");
    const std::string phpIni = "D:\\bundle\\PHP5\\php.ini";
    EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, phpIni}));
    EXPECT_EQ(files.IniRead("PHP", "register_globals", "", "Larkspan.ini"), "Off");
    EXPECT_EQ(files.IniRead("PHP", "upload_max_filesize", "", "Larkspan.ini"), "8");
    EXPECT_EQ(files.Text(phpIni),
        test::WithPlatformLineEnds(
            "[PHP]\nregister_globals=Off\nupload_max_filesize=8M\npost_max_size=8M\n"));
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起Apache生效。"});
    EXPECT_FALSE(form.isVisible());
}

TEST_F(PhpWindow, BadNumbersShowOnlyTheFirstMessage)
{
    Type(form, "max_time", "030");
    Type(form, "upload_file", "8M");
    Click(form, "Command1");
    EXPECT_EQ(messages.shown, std::vector<std::string> {"最长时间请填正整数！"});
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(form.isVisible());
    Click(form, "Command2");
    EXPECT_TRUE(files.calls.empty());
}

struct MySqlWindow : testing::Test
{
    MySqlWindow()
    {
        files.Set(kIni, "MySQL", "port", "3306");
        files.Set(kIni, "MySQL", "max_connections", "100");
        files.Set(kIni, "MySQL", "default-storage-engine", "INNODB");
        files.Set(kIni, "MySQL", "default-character-set", "gbk");
        form.Form_Load();
        form.show();
    }
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeProgramRunner runner;
    fmysql form {files, launcher, messages, runner, *codePage};
};

TEST_F(MySqlWindow, ShowsTheRecordWithFixedListsAndFocusOrder)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("MySQL设置"));
    EXPECT_EQ(form.size(), QSize(312, 253));
    EXPECT_EQ(Text(form, "port"), "3306");
    EXPECT_EQ(Text(form, "connections"), "100");
    EXPECT_EQ(Selected(form, "engine"), "INNODB");
    EXPECT_EQ(Selected(form, "character"), "gbk");
    EXPECT_EQ(Control<QComboBox>(form, "character")->count(), 4);
    EXPECT_EQ(Control<QLabel>(form, "Label7")->text(), QString::fromUtf8("Larkspan默认密码为qlwv"));
    const std::vector<std::string> order {
        "port", "character", "engine", "connections", "Command1", "Command2", "oldpwd", "newpwd", "Command3"};
    EXPECT_EQ(FocusOrder(form, order), order);

    files.Set(kIni, "MySQL", "default-character-set", "big5");
    form.Form_Load();
    EXPECT_EQ(Control<QComboBox>(form, "character")->currentIndex(), -1);
}

TEST_F(MySqlWindow, SavingWritesTheCharacterSetUnderTheServersName)
{
    Pick(form, "character", "utf8");
    Click(form, "Command1");
    const std::string myIni = "D:\\bundle\\MySQL\\my.ini";
    EXPECT_EQ(files.WrittenFiles(), (std::vector<std::string> {kIni, myIni}));
    EXPECT_EQ(files.IniRead("MySQL", "default-character-set", "", "Larkspan.ini"), "utf8");
    EXPECT_EQ(files.Text(myIni),
        test::WithPlatformLineEnds(
            "[mysql]\ndefault-character-set=utf8\n[mysqld]\ncharacter-set-server=utf8\n"));
    EXPECT_EQ(messages.shown, std::vector<std::string> {"设置成功，重起MSQL生效。"});
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MySqlWindow, ABadPortKeepsTheDialogOpen)
{
    Type(form, "port", "abc");
    Type(form, "connections", "x");
    Click(form, "Command1");
    EXPECT_EQ(messages.shown, std::vector<std::string> {"MySQL端口请填数字！"});
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MySqlWindow, ThePasswordButtonWaitsForTheClientAndEmptiesTheFieldsOnlyAfterSuccess)
{
    auto* button = Control<QPushButton>(form, "Command3");
    Type(form, "oldpwd", "qlwv");
    Type(form, "newpwd", "a b'c");
    Click(form, "Command3");
    ASSERT_EQ(runner.runs.size(), 1u);
    EXPECT_FALSE(button->isEnabled());
    runner.Finish({CapturedRun::Outcome::Exited, 1, "", "error: 'Access denied'"});
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(Text(form, "oldpwd"), "qlwv");
    EXPECT_EQ(Text(form, "newpwd"), "a b'c");
    EXPECT_TRUE(launcher.launches.empty());

    Click(form, "Command3");
    runner.Finish({CapturedRun::Outcome::Exited, 0, "", ""});
    EXPECT_EQ(Text(form, "oldpwd"), "");
    EXPECT_EQ(Text(form, "newpwd"), "");
    EXPECT_EQ(launcher.launches.size(), 1u);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(files.calls.empty());

    messages.answers = {false};
    Type(form, "oldpwd", "x");
    Click(form, "Command3");
    EXPECT_EQ(runner.runs.size(), 2u);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(Text(form, "oldpwd"), "x");
}

struct SitesWindow : testing::Test
{
    const std::string path = "D:\\bundle\\Apache2\\conf\\vhosts.conf";
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    zhanform form {files, messages, *codePage};
};

TEST_F(SitesWindow, ShowsTheFileTheExampleAndTheExplanation)
{
    files.texts[path] = "A\r\nB";
    form.Form_Load();
    form.show();
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("站点管理"));
    EXPECT_EQ(form.size(), QSize(445, 472));
    EXPECT_EQ(Control<QPlainTextEdit>(form, "host")->geometry(), Twips(240, 2280, 6135, 4095));
    EXPECT_EQ(Control<QPlainTextEdit>(form, "host")->toPlainText(), QString::fromUtf8("A\nB\n"));
    EXPECT_TRUE(Control<QPlainTextEdit>(form, "Text1")
                    ->toPlainText()
                    .startsWith("<VirtualHost *:80>\n    ServerAdmin "));
    EXPECT_TRUE(
        Control<QLabel>(form, "Label3")->text().startsWith(QString::fromUtf8("说明：\nServerAdmin 信箱")));
    EXPECT_EQ(Control<QLabel>(form, "Label1")->text(),
        QString::fromUtf8("请复制示例内容填到下面的框中做相应修改后保存"));
}

TEST_F(SitesWindow, ClickingTheExampleSelectsAllOfIt)
{
    form.Form_Load();
    form.show();
    auto* example = Control<QPlainTextEdit>(form, "Text1");
    QTest::mouseClick(example->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(example->textCursor().selectedText().size(), example->toPlainText().size());
}

TEST_F(SitesWindow, SavingWritesTheBoxAndCancellingWritesNothing)
{
    files.texts[path] = "A\r\n";
    form.Form_Load();
    form.show();
    Control<QPlainTextEdit>(form, "host")->setPlainText("  <VirtualHost *:80>\n</VirtualHost>\n  ");
    Click(form, "Command2");
    EXPECT_TRUE(files.calls.empty());

    form.Form_Load();
    form.show();
    EXPECT_EQ(Control<QPlainTextEdit>(form, "host")->toPlainText(), QString::fromUtf8("A\n"));
    Control<QPlainTextEdit>(form, "host")->setPlainText("  <VirtualHost *:80>\n</VirtualHost>\n  ");
    Click(form, "Command1");
    EXPECT_EQ(files.texts[path], "<VirtualHost *:80>\r\n</VirtualHost>\r\n");
    EXPECT_EQ(messages.shown, std::vector<std::string> {"站点信息已保存，重起Apache生效。"});
    EXPECT_FALSE(form.isVisible());
}

} // namespace
} // namespace larkspan
