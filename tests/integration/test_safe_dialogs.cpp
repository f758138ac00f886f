// The dialogs' saves checked by the demo bundle's own Apache, PHP and MariaDB, recorded, logged on
// the main window and undone from its menu, through the real windows on a real bundle.
#include "app/widgets/form1.h"
#include "config/disk_config_files.h"
#include "config/ini_engine.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_instance_guard.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_list.h"
#include "fakes/fake_program_runner.h"
#include "fakes/fake_tcp_listeners.h"
#include "platform/capturing_runner.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "support/bundle_fixture.h"
#include "support/file_contents.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

// The bytes of every file a save of the panel can touch.
std::map<std::string, std::string> Snapshot(const fs::path& bundle)
{
    std::map<std::string, std::string> files;
    for (const char* file : {"Larkspan.ini", "Apache2/conf/httpd.conf", "Apache2/conf/vhosts.conf",
             "PHP5/php.ini", "MySQL/my.ini"})
        files[file] = FileContents(bundle / file);
    return files;
}

bool Await(const std::function<bool()>& done, int seconds = 60)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

template <typename T> T* Control(QWidget& form, const char* name)
{
    return form.findChild<T*>(QString::fromUtf8(name));
}

void Pick(QWidget& form, const char* name, const char* entry)
{
    auto* list = Control<QComboBox>(form, name);
    list->setCurrentIndex(list->findText(QString::fromUtf8(entry)));
}

class SafeDialogsOnBundle : public test::SharedBundleTest
{
protected:
    void SetUp() override
    {
        SharedBundleTest::SetUp();
        if (HasFatalFailure())
            return;
        files = std::make_unique<DiskConfigFiles>(s_demo->path().string());
        history = std::make_unique<SettingsHistory>(files->AppDir());
        services = std::make_unique<SafeSaveServices>(SafeSaveServices {
            checker, *history, [this](std::string_view line) { window->AppendLongLogLine(line, {}); }});
        window = std::make_unique<Form1>(Form1Deps {
            *files, processes, launcher, messages, dialogs, instance, listeners, *codePage, *history});
    }

    std::vector<std::string> LogLines() const
    {
        std::vector<std::string> lines;
        const auto* list = Control<QListWidget>(*window, "List1");
        // A line cut to the log's width is whole in its tool tip.
        for (int i = 0; i < list->count(); ++i)
            lines.push_back(list->item(i)->toolTip().toStdString());
        return lines;
    }

    // Opens `form`, lets `edit` change it and presses 确定 (保存); returns the one message shown.
    std::string Save(QDialog& form, const std::function<void()>& load, const std::function<void()>& edit)
    {
        messages.shown.clear();
        load();
        form.show();
        edit();
        Control<QPushButton>(form, "Command1")->click();
        EXPECT_TRUE(Await([&] { return !messages.shown.empty(); }));
        EXPECT_EQ(messages.shown.size(), 1u);
        return messages.shown.empty() ? std::string() : messages.shown.back();
    }

    std::unique_ptr<DiskConfigFiles> files;
    std::unique_ptr<CapturingRunner> runner = MakeSystemCapturingRunner();
    ServerChecker checker {*runner};
    std::unique_ptr<SettingsHistory> history;
    std::unique_ptr<SafeSaveServices> services;
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeMessageBoxes messages;
    FakeProcessList processes;
    FakeLauncher launcher;
    FakeProgramRunner passwordRunner;
    FakeDialogHost dialogs;
    FakeInstanceGuard instance;
    FakeTcpListeners listeners;
    std::unique_ptr<Form1> window;
};

TEST_F(SafeDialogsOnBundle, ARefusedChangeKeepsTheDialogOpenAndEveryFileAsItWas)
{
    fapache apache(*files, messages, *codePage, services.get());
    fphp php(*files, messages, *codePage, services.get());
    fmysql mysql(*files, launcher, messages, passwordRunner, *codePage, services.get());
    zhanform hosts(*files, messages, *codePage, services.get());
    const struct
    {
        const char* name;
        QDialog& form;
        std::function<void()> load;
        std::function<void()> edit;
        const char* says;
    } rows[] = {
        {"Apache on port 70000", apache, [&] { apache.Form_Load(); },
            [&] { Control<QLineEdit>(apache, "listen")->setText("70000"); }, "Invalid address or port"},
        {"PHP with safe_mode", php, [&] { php.Form_Load(); }, [&] { Pick(php, "safe", "On"); },
            "Directive 'safe_mode' is no longer available in PHP"},
        {"MariaDB on port -1", mysql, [&] { mysql.Form_Load(); },
            [&] { Control<QLineEdit>(mysql, "port")->setText("-1"); },
            "Incorrect unsigned value: '-1' for port"},
        {"an unclosed virtual host", hosts, [&] { hosts.Form_Load(); },
            [&] { Control<QPlainTextEdit>(hosts, "host")->setPlainText("<VirtualHost *:80>\n"); },
            "was not closed"},
    };
    const auto before = Snapshot(s_demo->path());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string shown = Save(row.form, row.load, row.edit);
        EXPECT_NE(shown.find("不接受新的设置，没有写入任何文件"), std::string::npos) << shown;
        EXPECT_NE(shown.find(row.says), std::string::npos) << shown;
        EXPECT_TRUE(row.form.isVisible());
        EXPECT_EQ(Snapshot(s_demo->path()), before);
        row.form.reject();
    }
    std::vector<HistoryEntry> entries;
    EXPECT_TRUE(history->List(entries).ok());
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(SafeDialogsOnBundle, AGoodSaveIsRecordedAndLoggedAndTheUndoBringsEveryByteBack)
{
    const auto before = Snapshot(s_demo->path());
    fapache apache(*files, messages, *codePage, services.get());
    const std::string port = std::to_string(test::FreePort());
    const std::string shown = Save(
        apache, [&] { apache.Form_Load(); },
        [&] {
            Control<QLineEdit>(apache, "listen")->setText(QString::fromStdString(port));
            Control<QLineEdit>(apache, "admin")->setText("webmaster@localhost");
        });
    EXPECT_EQ(shown, "设置成功，重起Apache生效。");
    EXPECT_FALSE(apache.isVisible());
    EXPECT_NE(
        FileContents(s_demo->path() / "Apache2/conf/httpd.conf").find("Listen " + port), std::string::npos);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_TRUE(LogLines()[0].starts_with("Apache设置已保存...    ")) << LogLines()[0];

    messages.shown.clear();
    Control<QAction>(*window, "undoset2")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].starts_with("已撤销上次设置：Apache设置")) << messages.shown[0];
    EXPECT_EQ(Snapshot(s_demo->path()), before);
    ASSERT_EQ(LogLines().size(), 2u);
    EXPECT_TRUE(LogLines()[1].starts_with("已撤销上次设置（Apache设置）...    ")) << LogLines()[1];

    messages.shown.clear();
    Control<QAction>(*window, "undoset")->trigger();
    EXPECT_EQ(messages.shown, std::vector<std::string> {"没有可以撤销的设置。"});
    EXPECT_EQ(LogLines().size(), 2u);
}

TEST_F(SafeDialogsOnBundle, WithoutItsCheckerAChangeIsSavedAndTheMessageSaysSo)
{
    const fs::path php = s_demo->path() / "PHP5/php.exe";
    const fs::path away = s_demo->path() / "PHP5/php.exe.away";
    fs::rename(php, away);
    fphp form(*files, messages, *codePage, services.get());
    const std::string shown = Save(
        form, [&] { form.Form_Load(); }, [&] { Control<QLineEdit>(form, "max_time")->setText("61"); });
    fs::rename(away, php);
    EXPECT_TRUE(shown.starts_with("设置成功，重起Apache生效。")) << shown;
    EXPECT_NE(shown.find("注意：PHP 的新设置没有经过检查"), std::string::npos) << shown;
    EXPECT_EQ(IniLookup(FileContents(s_demo->path() / "PHP5/php.ini"), "PHP", "max_execution_time"), "61");
    EXPECT_FALSE(form.isVisible());
}

} // namespace
} // namespace larkspan
