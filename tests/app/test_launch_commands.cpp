#include "app/launch_commands.h"
#include "config/settings_keys.h"
#include "config/text_lines.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using Method = void (LaunchCommands::*)();
using Kind = Argument::Kind;

struct Panel
{
    explicit Panel(std::string appDir = "D:\\bundle")
        : files(std::move(appDir))
    { }

    FakeConfigFiles files;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeDialogHost dialogs;
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    LaunchCommands commands {files, launcher, messages, dialogs, history};

    void SetListen(std::string_view value) { files.Set(kSettingsFile, "Apache", "Listen", value); }
    void SetDocumentRoot(std::string_view value)
    {
        files.Set(kSettingsFile, "Apache", "DocumentRoot", value);
    }
};

std::vector<Kind> KindsOf(const Command& command)
{
    std::vector<Kind> kinds;
    for (const auto& argument : command.arguments)
        kinds.push_back(argument.kind);
    return kinds;
}

struct LaunchRow
{
    const char* name;
    Method method;
    const char* line;
    WindowStyle style;
    std::vector<Kind> kinds; ///< paths are mapped by the launcher, addresses and switches are not
};

const std::vector<LaunchRow>& LaunchRows()
{
    static const std::vector<LaunchRow> rows {
        {"phpini", &LaunchCommands::phpini, "notepad.exe D:\\bundle\\PHP5\\php.ini", WindowStyle::NormalFocus,
            {Kind::Path}},
        {"httpdconf", &LaunchCommands::httpdconf, "notepad.exe D:\\bundle\\Apache2\\conf\\httpd.conf",
            WindowStyle::NormalFocus, {Kind::Path}},
        {"mysqlini", &LaunchCommands::mysqlini, "notepad.exe D:\\bundle\\MySQL\\my.ini",
            WindowStyle::NormalFocus, {Kind::Path}},
        {"phpmyadmininc", &LaunchCommands::phpmyadmininc,
            "notepad.exe E:\\site\\phpMyAdmin\\libraries\\config.default.php", WindowStyle::NormalFocus,
            {Kind::Path}},
        {"wwwroot", &LaunchCommands::wwwroot, "explorer.exe E:\\site", WindowStyle::NormalFocus,
            {Kind::Path}},
        {"mysqldata", &LaunchCommands::mysqldata, "explorer.exe D:\\bundle\\MySQL\\data",
            WindowStyle::NormalFocus, {Kind::Path}},
        {"apachelog", &LaunchCommands::apachelog, "explorer.exe D:\\bundle\\Apache2\\logs",
            WindowStyle::NormalFocus, {Kind::Path}},
        {"mysqlconsole", &LaunchCommands::mysqlconsole, "D:\\bundle\\mysql\\bin\\mysql.exe -uroot -p",
            WindowStyle::NormalFocus, {Kind::Literal, Kind::Literal}},
        {"servicecontrol", &LaunchCommands::servicecontrol, "cmd /c services.msc", WindowStyle::Hidden,
            {Kind::Literal, Kind::Literal}},
        {"homepage", &LaunchCommands::homepage, "explorer.exe http://localhost:81",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"phpmyadmin", &LaunchCommands::phpmyadmin, "explorer.exe http://localhost:81/phpMyAdmin",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"phpinfo", &LaunchCommands::phpinfo, "explorer.exe http://localhost:81/phpinfo.php",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"phpmanual", &LaunchCommands::phpmanual, "explorer.exe http://lark.example/notebook/php/index.html",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"jsmanual", &LaunchCommands::jsmanual,
            "explorer.exe http://lark.example/notebook/js/javascript.html", WindowStyle::MinimizedFocus,
            {Kind::Url}},
        {"cssmanual", &LaunchCommands::cssmanual, "explorer.exe http://lark.example/notebook/css/index.html",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"faqs", &LaunchCommands::faqs, "explorer.exe http://lark.example/html/Larkspan/index.html",
            WindowStyle::MinimizedFocus, {Kind::Url}},
        {"update", &LaunchCommands::update, "explorer.exe http://lark.example/", WindowStyle::MinimizedFocus,
            {Kind::Url}},
    };
    return rows;
}

TEST(LaunchCommands, EachCommandLaunchesItsProgramOnceWithItsStyle)
{
    for (const auto& row : LaunchRows()) {
        SCOPED_TRACE(row.name);
        Panel panel;
        panel.SetListen("81");
        panel.SetDocumentRoot("E:\\site");
        (panel.commands.*row.method)();
        ASSERT_EQ(panel.launcher.launches.size(), 1u);
        EXPECT_EQ(panel.launcher.launches[0].line(), row.line);
        EXPECT_EQ(panel.launcher.launches[0].style, row.style);
        EXPECT_EQ(KindsOf(panel.launcher.launches[0].command), row.kinds);
        EXPECT_TRUE(panel.messages.shown.empty());
        EXPECT_TRUE(panel.dialogs.shown.empty());
        // The phpinfo page is the only file any command writes.
        EXPECT_EQ(panel.files.calls.size(), std::string_view(row.name) == "phpinfo" ? 1u : 0u);
    }
}

TEST(LaunchCommands, AFailedLaunchIsShownNamingTheProgram)
{
    for (const auto& row : LaunchRows()) {
        SCOPED_TRACE(row.name);
        Panel panel;
        panel.SetListen("80");
        panel.SetDocumentRoot("E:\\site");
        panel.launcher.failWhen = [](const Command&) { return true; };
        (panel.commands.*row.method)();
        ASSERT_EQ(panel.messages.shown.size(), 1u);
        const std::string program = std::string(row.line).substr(0, std::string(row.line).find(' '));
        EXPECT_NE(panel.messages.shown[0].find(program), std::string::npos) << panel.messages.shown[0];
    }
}

TEST(LaunchCommands, DialogCommandsShowTheirDialogOnly)
{
    const struct
    {
        Method method;
        const char* dialog;
    } rows[] {
        {&LaunchCommands::apcheset, "fapache"},
        {&LaunchCommands::phpset, "fphp"},
        {&LaunchCommands::mysqlset, "fmysql"},
        {&LaunchCommands::zhanCom, "zhanform"},
        {&LaunchCommands::about, "fabout"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dialog);
        Panel panel;
        (panel.commands.*row.method)();
        (panel.commands.*row.method)();
        EXPECT_EQ(panel.dialogs.shown, (std::vector<std::string> {row.dialog, row.dialog}));
        EXPECT_TRUE(panel.launcher.launches.empty());
        EXPECT_TRUE(panel.files.calls.empty());
    }
}

TEST(LaunchCommands, LocalBaseUrlUsesThePortTextAsItIs)
{
    const struct
    {
        const char* listen;
        const char* url;
    } rows[] {
        {"80", "http://localhost"},
        {"81", "http://localhost:81"},
        {"080", "http://localhost:080"},
        {"", "http://localhost:"},
        {"80 ", "http://localhost:80 "},
        {"8080", "http://localhost:8080"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LocalBaseUrl(row.listen), row.url) << '"' << row.listen << '"';
}

TEST(LaunchCommands, LocalPagesOnPort80AndWithoutSettings)
{
    const struct
    {
        const char* listen; ///< nullptr: Larkspan.ini has no Listen key
        std::vector<std::string> lines;
    } rows[] {
        {"80",
            {"explorer.exe http://localhost", "explorer.exe http://localhost/phpMyAdmin",
                "explorer.exe http://localhost/phpinfo.php"}},
        {nullptr,
            {"explorer.exe http://localhost:", "explorer.exe http://localhost:/phpMyAdmin",
                "explorer.exe http://localhost:/phpinfo.php"}},
    };
    for (const auto& row : rows) {
        Panel panel;
        if (row.listen)
            panel.SetListen(row.listen);
        panel.SetDocumentRoot("E:\\site");
        panel.commands.homepage();
        panel.commands.phpmyadmin();
        panel.commands.phpinfo();
        EXPECT_EQ(panel.launcher.lines(), row.lines);
    }
}

TEST(LaunchCommands, AnUnreadableSettingsFileStopsTheCommandsThatNeedIt)
{
    for (const Method method : {&LaunchCommands::homepage, &LaunchCommands::phpmyadmin,
             &LaunchCommands::phpinfo, &LaunchCommands::wwwroot, &LaunchCommands::phpmyadmininc}) {
        Panel panel;
        panel.SetListen("81");
        panel.SetDocumentRoot("E:\\site");
        panel.files.unreadable[std::string(kSettingsFile)] = "Is a directory";
        (panel.commands.*method)();
        EXPECT_TRUE(panel.launcher.lines().empty());
        EXPECT_TRUE(panel.files.calls.empty()) << "no phpinfo page at the top of the file system";
        EXPECT_EQ(panel.messages.shown,
            std::vector<std::string> {"无法读取设置文件：\nLarkspan.ini: Is a directory"});
    }
}

TEST(LaunchCommands, SettingsAreReadAfreshByEveryCommand)
{
    Panel panel;
    panel.SetListen("80");
    panel.SetDocumentRoot("E:\\old");
    panel.commands.homepage();
    panel.commands.wwwroot();
    panel.SetListen("81");
    panel.SetDocumentRoot("E:\\new");
    panel.commands.homepage();
    panel.commands.wwwroot();
    EXPECT_EQ(panel.launcher.lines(),
        (std::vector<std::string> {"explorer.exe http://localhost", "explorer.exe E:\\old",
            "explorer.exe http://localhost:81", "explorer.exe E:\\new"}));
}

TEST(LaunchCommands, PathsWithBlanksStayOneArgument)
{
    Panel panel("D:\\my bundle");
    panel.commands.phpini();
    panel.commands.mysqlconsole();
    ASSERT_EQ(panel.launcher.launches.size(), 2u);
    EXPECT_EQ(panel.launcher.launches[0].command.arguments,
        (std::vector<Argument> {Argument::path("D:\\my bundle\\PHP5\\php.ini")}));
    EXPECT_EQ(panel.launcher.launches[0].line(), "notepad.exe \"D:\\my bundle\\PHP5\\php.ini\"");
    EXPECT_EQ(panel.launcher.launches[1].command.program, "D:\\my bundle\\mysql\\bin\\mysql.exe");
}

TEST(LaunchCommands, PhpinfoWritesThePageBeforeOpeningIt)
{
    Panel panel;
    panel.SetListen("80");
    panel.SetDocumentRoot("E:\\site");
    panel.files.texts["E:\\site\\phpinfo.php"] = "<?php echo 'something else'; ?>\r\n";
    bool writtenBeforeLaunch = false;
    panel.launcher.onLaunch = [&](const Command&) {
        writtenBeforeLaunch
            = panel.files.texts["E:\\site\\phpinfo.php"].starts_with("<?php   phpinfo();   ?>");
    };

    panel.commands.phpinfo();

    ASSERT_EQ(panel.files.calls.size(), 1u);
    EXPECT_EQ(panel.files.calls[0].file, "E:\\site\\phpinfo.php");
    EXPECT_EQ(panel.files.calls[0].content, "<?php   phpinfo();   ?>" + std::string(kPlatformLineEnd));
    EXPECT_TRUE(writtenBeforeLaunch);
    // The page it replaced can be had back.
    std::vector<HistoryEntry> entries;
    ASSERT_TRUE(panel.history.List(entries).ok());
    ASSERT_EQ(entries.size(), 1u);
    HistoryEntry entry;
    ASSERT_TRUE(panel.history.Load(entries[0].name, entry).ok());
    ASSERT_EQ(entry.files.size(), 1u);
    EXPECT_EQ(entry.files[0].bytes, "<?php echo 'something else'; ?>\r\n");
    EXPECT_EQ(
        panel.launcher.lines(), (std::vector<std::string> {"explorer.exe http://localhost/phpinfo.php"}));
}

TEST(LaunchCommands, PhpinfoThatCannotWriteThePageOpensNoBrowser)
{
    const struct
    {
        const char* name;
        const char* documentRoot; ///< nullptr: no DocumentRoot key
        const char* failOn;
        const char* named; ///< what the message must name
    } rows[] {
        {"unwritable site directory", "E:\\site", "E:\\site\\phpinfo.php", "E:\\site\\phpinfo.php"},
        {"no site directory set", nullptr, "", "phpinfo.php"},
        {"empty site directory", "", "", "DocumentRoot"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Panel panel;
        panel.SetListen("80");
        if (row.documentRoot)
            panel.SetDocumentRoot(row.documentRoot);
        panel.files.failOn = row.failOn;
        panel.commands.phpinfo();
        EXPECT_TRUE(panel.launcher.launches.empty());
        EXPECT_TRUE(panel.files.calls.empty()) << "nothing may be written at the root of the file system";
        ASSERT_EQ(panel.messages.shown.size(), 1u);
        EXPECT_NE(panel.messages.shown[0].find(row.named), std::string::npos) << panel.messages.shown[0];
    }
}

} // namespace
} // namespace larkspan
