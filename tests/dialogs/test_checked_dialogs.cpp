// The dialogs' saves checked by the servers, with a scripted checker: the window waits without
// freezing, a refusal writes nothing, and a save is recorded, logged and told.
#include "config/bundle_paths.h"
#include "config/native_path.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_capturing_runner.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "support/temp_dir.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

const std::string kIni = "D:\\bundle\\Larkspan.ini";
const std::string kHttpd = "D:\\bundle\\Apache2\\conf\\httpd.conf";
const std::string kVhosts = "D:\\bundle\\Apache2\\conf\\vhosts.conf";
const std::string kPhpIni = "D:\\bundle\\PHP5\\php.ini";

CapturedRun Exited(int code, std::string error)
{
    return {CapturedRun::Outcome::Exited, code, {}, std::move(error)};
}

// Runs the event loop until `done` holds or ten seconds have passed.
bool Await(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct CheckedDialogs : testing::Test
{
    CheckedDialogs()
    {
        files.directories = {"D:\\www"};
        files.Set(kIni, "Apache", "Listen", "80");
        files.Set(kIni, "Apache", "DocumentRoot", "D:\\www");
        files.Set(kIni, "PHP", "safe_mode", "Off");
        files.Set(kIni, "PHP", "max_execution_time", "30");
        files.Set(kIni, "PHP", "upload_max_filesize", "2");
        files.texts[kHttpd] = "Listen 80\nDocumentRoot \"D:\\www\"\nInclude conf/vhosts.conf\n";
        files.texts[kVhosts] = "# hosts\n";
        files.texts[kPhpIni] = "[PHP]\nsafe_mode = Off\n";
    }

    std::vector<HistoryEntry> History()
    {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.List(entries).ok());
        return entries;
    }

    // Everything in the history folder, entries and leftovers alike.
    std::size_t HistoryFolders()
    {
        std::error_code error;
        std::filesystem::directory_iterator items(history.folder(), error);
        return error ? 0 : static_cast<std::size_t>(std::distance(items, {}));
    }

    std::unique_ptr<TextCodePage> utf8 = MakeTextCodePage("UTF-8");
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    FakeCapturingRunner runner;
    ServerChecker checker {runner};
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    std::vector<std::string> log;
    SafeSaveServices services {checker, history, [this](std::string_view line) { log.emplace_back(line); }};
};

template <typename T> T* Control(QWidget& form, const char* name)
{
    return form.findChild<T*>(QString::fromUtf8(name));
}

TEST_F(CheckedDialogs, ARefusalWritesNothingAndASaveIsRecordedLoggedAndTold)
{
    const struct
    {
        const char* name;
        std::function<std::unique_ptr<QDialog>()> open; ///< opened, shown, edited
        CapturedRun checker;
        bool saved;
        std::vector<std::string> says; ///< in the one message shown
    } rows[] = {
        {"Apache refuses the port",
            [&] {
                auto form = std::make_unique<fapache>(files, messages, *utf8, &services);
                form->Form_Load();
                form->show();
                Control<QLineEdit>(*form, "listen")->setText("70000");
                return form;
            },
            Exited(1, "AH00526: Syntax error on line 1 of httpd.conf:\nInvalid address or port\n"), false,
            {"Apache 不接受新的设置，没有写入任何文件", "Invalid address or port"}},
        {"Apache refuses the host editor's unclosed block",
            [&] {
                auto form = std::make_unique<zhanform>(files, messages, *utf8, &services);
                form->Form_Load();
                form->show();
                Control<QPlainTextEdit>(*form, "host")->setPlainText("<VirtualHost *:80>\n");
                return form;
            },
            Exited(1, "AH00526: Syntax error on line 1 of vhosts.conf:\n<VirtualHost> was not closed.\n"),
            false, {"Apache 不接受新的设置", "<VirtualHost> was not closed."}},
        {"PHP without its checker is saved with a note",
            [&] {
                auto form = std::make_unique<fphp>(files, messages, *utf8, &services);
                form->Form_Load();
                form->show();
                auto* safe = Control<QComboBox>(*form, "safe");
                safe->setCurrentIndex(safe->findText("On"));
                return form;
            },
            {CapturedRun::Outcome::NotStarted, -1, {}, "D:/bundle/PHP5/php.exe: No such file or directory"},
            true,
            {"设置成功，重起Apache生效。", "注意：PHP 的新设置没有经过检查",
                "php.exe: No such file or directory"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto before = files.texts;
        messages.shown.clear();
        log.clear();
        runner.answer = [&](const Command&) { return row.checker; };
        const std::size_t entries = History().size();

        const auto form = row.open();
        Control<QPushButton>(*form, "Command1")->click();
        ASSERT_TRUE(Await([&] { return !messages.shown.empty(); }));

        ASSERT_EQ(messages.shown.size(), 1u);
        for (const std::string& said : row.says)
            EXPECT_NE(messages.shown[0].find(said), std::string::npos) << messages.shown[0];
        EXPECT_EQ(form->isVisible(), !row.saved);
        EXPECT_TRUE(Control<QPushButton>(*form, "Command1")->isEnabled());
        if (row.saved) {
            EXPECT_NE(files.texts, before);
            ASSERT_EQ(History().size(), entries + 1);
            EXPECT_EQ(History().back().dialog, "PHP设置");
            EXPECT_EQ(log, std::vector<std::string> {"PHP设置已保存...    "});
        } else {
            EXPECT_EQ(files.texts, before);
            EXPECT_EQ(History().size(), entries);
            EXPECT_TRUE(log.empty());
        }
        // The entry written while the checker ran joined the history or went.
        EXPECT_EQ(HistoryFolders(), History().size());
    }
}

TEST_F(CheckedDialogs, TheWindowStaysResponsiveAndClosingDropsTheSave)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> checking = false;
    runner.answer = [&](const Command&) {
        checking = true;
        released.wait();
        return Exited(0, {});
    };
    fapache form(files, messages, *utf8, &services);
    form.Form_Load();
    form.show();
    Control<QLineEdit>(form, "listen")->setText("81");
    Control<QPushButton>(form, "Command1")->click();
    ASSERT_TRUE(Await([&] { return checking.load(); }));

    // The checker is still busy: the event loop runs, the save's controls wait.
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(Await([&] { return ticked; }));
    EXPECT_FALSE(Control<QPushButton>(form, "Command1")->isEnabled());
    EXPECT_FALSE(Control<QLineEdit>(form, "listen")->isEnabled());

    const auto before = files.texts;
    form.reject();
    release.set_value();
    // The check's outcome arrives and is dropped.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(files.texts, before);
    EXPECT_TRUE(History().empty());
    EXPECT_EQ(HistoryFolders(), 0u);
    EXPECT_TRUE(log.empty());

    form.Form_Load();
    EXPECT_TRUE(Control<QPushButton>(form, "Command1")->isEnabled());
    EXPECT_EQ(Control<QLineEdit>(form, "listen")->text(), "80");
}

TEST_F(CheckedDialogs, AFileChangedDuringTheCheckIsNotOverwritten)
{
    // Someone edits httpd.conf in the editor while Apache reads the candidate.
    runner.answer = [&](const Command&) {
        files.texts[kHttpd] += "# edited meanwhile\n";
        return Exited(0, {});
    };
    fapache form(files, messages, *utf8, &services);
    form.Form_Load();
    form.show();
    Control<QLineEdit>(form, "listen")->setText("81");
    const auto ini = files.texts[kIni];
    Control<QPushButton>(form, "Command1")->click();
    ASSERT_TRUE(Await([&] { return !messages.shown.empty(); }));

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("在检查新设置期间被其他程序修改过"), std::string::npos)
        << messages.shown[0];
    EXPECT_NE(messages.shown[0].find("httpd.conf"), std::string::npos) << messages.shown[0];
    EXPECT_TRUE(files.calls.empty());
    EXPECT_EQ(files.texts[kIni], ini);
    EXPECT_EQ(HistoryFolders(), 0u);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(CheckedDialogs, AHistoryThatCannotBeWrittenStopsTheSaveNamingTheFolder)
{
    // The history folder's name taken by a file: nothing can be recorded, so nothing is saved.
    test::TempDir blocked;
    {
        std::ofstream(blocked.path() + "/history") << "not a folder";
    }
    SettingsHistory unwritable(blocked.path());
    SafeSaveServices failing {checker, unwritable, [this](std::string_view line) { log.emplace_back(line); }};
    runner.answer = [](const Command&) { return Exited(0, {}); };
    fphp form(files, messages, *utf8, &failing);
    form.Form_Load();
    form.show();
    Control<QLineEdit>(form, "max_time")->setText("60");
    Control<QPushButton>(form, "Command1")->click();
    ASSERT_TRUE(Await([&] { return !messages.shown.empty(); }));

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("设置保存失败"), std::string::npos) << messages.shown[0];
    // The folder as the system names it: with a backslash on Windows.
    const std::string folder = NativePath(InBundle(blocked.path(), paths::kHistory));
    EXPECT_NE(messages.shown[0].find(folder), std::string::npos) << messages.shown[0];
    EXPECT_TRUE(files.calls.empty());
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(form.isVisible());
}

} // namespace
} // namespace larkspan
