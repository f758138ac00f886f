// The main window offscreen: layout and menus as designed, start-up, ticks, the notification icon,
// window visibility and the wiring of every handler.
#include "app/widgets/form1.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_instance_guard.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_list.h"
#include "fakes/fake_tcp_listeners.h"
#include "platform/log_time.h"
#include "platform/text_code_page.h"
#include "safety/settings_history.h"
#include "support/temp_dir.h"
#include "ui/widgets/qt_message_boxes.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace larkspan {
namespace {

struct Fixture
{
    FakeConfigFiles files;
    FakeProcessList processes;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeDialogHost dialogs;
    FakeInstanceGuard instance;
    FakeTcpListeners listeners;
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    bool trayAvailable = true;
    bool trayCanChange = true; ///< a desktop whose notification area can go and come back
    int programEnds = 0;
    int applicationQuits = 0;
    double clock = 1000.0;
    std::unique_ptr<Form1> form;

    Form1& make()
    {
        Form1Hooks hooks;
        hooks.notificationAreaAvailable = [this] { return trayAvailable; };
        hooks.notificationAreaCanChange = [this] { return trayCanChange; };
        hooks.endProgramNow = [this] { ++programEnds; };
        // The real quit would leave the test program's application quitting: every later modal
        // loop would end at once.
        hooks.quitApplication = [this] { ++applicationQuits; };
        // Each reading advances a second, so a restart's pause passes at once.
        hooks.now = [this] { return clock += 1.0; };
        form = std::make_unique<Form1>(Form1Deps {files, processes, launcher, messages, dialogs, instance,
                                           listeners, *codePage, history},
            hooks);
        return *form;
    }

    template <typename T> T* child(const char* name) const
    {
        return form->findChild<T*>(QString::fromUtf8(name));
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        const auto* list = child<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            result.push_back(list->item(i)->text().toStdString());
        return result;
    }
};

// A log line is the message followed directly by the time of day; the clock may tick between.
void ExpectLines(const std::vector<std::string>& lines, const std::vector<std::string>& messages,
    const std::string& timeBefore, const std::string& timeAfter)
{
    ASSERT_EQ(lines.size(), messages.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_TRUE(line == messages[i] + timeBefore || line == messages[i] + timeAfter) << line;
    }
}

TEST(Form1Layout, ControlsAsDesigned)
{
    struct Expected
    {
        const char* name;
        const char* className;
        const char* parent;
        const char* caption;
        QRect pixels;
    };
    // Twips divided by 15.
    const std::vector<Expected> rows {
        {"Frame1", "QGroupBox", "Form1", "运行状态", {16, 8, 129, 73}},
        {"Label1", "QLabel", "Frame1", "Apache：", {16, 24, 50, 17}},
        {"la", "QLabel", "Frame1", "", {72, 24, 41, 17}},
        {"Label2", "QLabel", "Frame1", "MySQL：", {16, 48, 50, 17}},
        {"lm", "QLabel", "Frame1", "", {72, 48, 41, 17}},
        {"Apache", "QGroupBox", "Form1", "Apache", {152, 8, 161, 65}},
        {"starta", "QPushButton", "Apache", "启动", {8, 24, 41, 25}},
        {"stopa", "QPushButton", "Apache", "停止", {60, 24, 41, 25}},
        {"restaraCom", "QPushButton", "Apache", "重启", {112, 24, 41, 25}},
        {"Frame3", "QGroupBox", "Form1", "MySQL", {240, 80, 73, 113}},
        {"startm", "QPushButton", "Frame3", "启动", {16, 16, 41, 25}},
        {"stopm", "QPushButton", "Frame3", "停止", {16, 48, 41, 25}},
        {"restartmCom", "QPushButton", "Frame3", "重启", {16, 80, 41, 25}},
        {"Frame2", "QGroupBox", "Form1", "提示信息", {8, 96, 217, 177}},
        {"List1", "QListWidget", "Frame2", "", {8, 16, 201, 148}},
        {"zhanCom", "QPushButton", "Form1", "站点管理", {240, 208, 65, 25}},
        {"Command1", "QPushButton", "Form1", "更多设置", {240, 248, 65, 25}},
    };
    Fixture f;
    Form1& form = f.make();
    EXPECT_EQ(form.windowTitle(), "LarkspanAdmin");
    EXPECT_EQ(form.size(), QSize(337, 285));
    EXPECT_EQ(form.findChild<QMenuBar*>(), nullptr);

    for (const Expected& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = f.child<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), row.className);
        EXPECT_EQ(widget->parentWidget()->objectName(), row.parent);
        EXPECT_EQ(widget->geometry(), row.pixels);
        EXPECT_TRUE(widget->isVisibleTo(&form));
        EXPECT_TRUE(widget->isEnabled());
        const QString caption = QString::fromUtf8(row.caption);
        if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(frame->title(), caption);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), caption);
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), caption);
        }
    }
    for (const char* label : {"la", "lm"})
        EXPECT_TRUE(f.child<QLabel>(label)->toolTip().isEmpty());
    EXPECT_EQ(f.child<QListWidget>("List1")->count(), 0);
    EXPECT_FALSE(f.child<QListWidget>("List1")->isSortingEnabled());

    auto* timer = f.child<QTimer>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
}

TEST(Form1Layout, TabOrderThroughFocusableControls)
{
    Fixture f;
    f.make();
    const std::vector<std::string> expected {
        "stopa", "starta", "stopm", "startm", "List1", "restaraCom", "restartmCom", "Command1", "zhanCom"};
    std::vector<std::string> seen;
    QWidget* widget = f.child<QWidget>("stopa");
    for (std::size_t guard = 0; guard < 100 && seen.size() < expected.size(); ++guard) {
        if (widget->focusPolicy() & Qt::TabFocus)
            seen.push_back(widget->objectName().toStdString());
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(seen, expected);
}

// One text per menu entry: depth, name, caption ("-" for a separator), and "hidden" when hidden.
void Describe(const QMenu* menu, int depth, std::vector<std::string>& out)
{
    for (const QAction* action : menu->actions()) {
        std::string text = std::string(depth, '>') + action->objectName().toStdString() + " "
            + (action->isSeparator() ? std::string("-") : action->text().toStdString());
        if (!action->isVisible())
            text += " hidden";
        // Qt reports a hidden action as disabled.
        EXPECT_EQ(action->isEnabled(), action->isVisible()) << text;
        out.push_back(text);
        if (action->menu())
            Describe(action->menu(), depth + 1, out);
    }
}

TEST(Form1Layout, PopupMenus)
{
    const std::vector<std::pair<const char*, std::vector<std::string>>> menus {
        {"file",
            {"phpset PHP 设置", "apcheset Apache 设置", "mysqlset MySQL 设置", "undoset 撤销上次设置",
                "redoset 恢复上次撤销", "configfile 配置文件", ">phpini php-ini", ">httpdconf httpd-conf",
                ">mysqlini MySQL-ini", ">phpmyadmininc phpMyAdmin-inc", "sdaf -", "apacheservice Apache 服务",
                ">astart 启动", ">astop 停止", ">restarta 重启", "mysqlservice MySQL 服务", ">mstart 启动",
                ">mstop 停止", ">restartm 重启", "servicecontrol 系统服务管理", "zhan2 站点管理", "sa -",
                "phpmyadmin phpMyAdmin", "mysqlconsole MySQL Console", "homepage My HomePage",
                "wwwroot WWW-root", "mysqldata MySQL Data", "apachelog Apache log", "dsaf -",
                "manual Manual hidden", ">phpmanual PHP Manual", ">jsmanual JavaScript Manual",
                ">cssmanual CSS Manual", "faqs FAQs hidden", "update Update(更新)...",
                "about About(关于) ...", "sdffd -", "hideme Hide Me (隐藏)", "quit Quit (退出)"}},
        {"filez",
            {"homepage2 My HomePage", "phpinfo phpinfo", "wwwroot2 WWW-root", "dsg -",
                "mysqldata2 MySQL Data", "mysqlconsole2 MySQL Console", "phpmyadmin2 phpMyAdmin", "sdf -",
                "servicecontrol2 系统服务管理", "mysqlservice2 MySQL 服务", ">mstart2 启动", ">mstop2 停止",
                ">restartm2 重启", "apacheservice2 Apache 服务", ">astart2 启动", ">astop2 停止",
                ">restarta2 重启", "dsfdfg -", "zhan1 站点管理", "configfile2 配置文件", ">phpini2 php-ini",
                ">httpdconf2 httpd-conf", ">mysqlini2 MySQL-ini", ">phpmyadmininc2 phpMyAdmin-inc",
                "mysqlset2 MySQL 设置", "apcheset2 Apache 设置", "phpset2 PHP 设置", "undoset2 撤销上次设置",
                "redoset2 恢复上次撤销", "dsf -", "about2 About(关于)...", "update2 Update(更新)... hidden",
                "showme Show Me (显示)", "quit3 Quit(退出)"}},
        {"filey",
            {"phpmanual2 PHP Manual", "jsmanual2 JavaScript Manual", "cssmanual2 CSS Manual", "rerer -",
                "faqs2 FAQs", "quit2 Quit (退出)"}},
    };
    Fixture f;
    f.make();
    for (const auto& [name, expected] : menus) {
        SCOPED_TRACE(name);
        const QMenu* menu = f.child<QMenu>(name);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), name);
        EXPECT_FALSE(menu->isVisible());
        std::vector<std::string> seen;
        Describe(menu, 0, seen);
        EXPECT_EQ(seen, expected);
    }
}

struct RowState
{
    QString glyph;
    QColor colour;
    QString toolTip;
    QString spokenName; ///< what a screen reader hears of the glyph
    bool startEnabled;
    bool stopEnabled;
};

void ExpectRow(const Fixture& f, const char* label, const char* start, const char* stop,
    const std::vector<const char*>& startItems, const std::vector<const char*>& stopItems,
    const std::vector<const char*>& restarts, const RowState& state)
{
    SCOPED_TRACE(label);
    const QLabel* status = f.child<QLabel>(label);
    EXPECT_EQ(status->text(), state.glyph);
    EXPECT_EQ(status->palette().color(QPalette::WindowText), state.colour);
    EXPECT_EQ(status->toolTip(), state.toolTip);
    EXPECT_EQ(status->accessibleName(), state.spokenName);
    EXPECT_EQ(f.child<QPushButton>(start)->isEnabled(), state.startEnabled);
    EXPECT_EQ(f.child<QPushButton>(stop)->isEnabled(), state.stopEnabled);
    for (const char* item : startItems)
        EXPECT_EQ(f.child<QAction>(item)->isEnabled(), state.startEnabled) << item;
    for (const char* item : stopItems)
        EXPECT_EQ(f.child<QAction>(item)->isEnabled(), state.stopEnabled) << item;
    for (const char* control : restarts) {
        QObject* object = f.child<QObject>(control);
        const bool enabled = qobject_cast<QWidget*>(object) ? qobject_cast<QWidget*>(object)->isEnabled()
                                                            : qobject_cast<QAction*>(object)->isEnabled();
        EXPECT_TRUE(enabled) << control;
    }
}

const RowState kApacheRunning {"●", QColor(0, 192, 0), "Apache运行", "Apache：正在运行", false, true};
const RowState kApacheStopped {"■", QColor(255, 0, 0), "Apache停止", "Apache：已停止", true, false};
const RowState kMySqlRunning {"●", QColor(0, 192, 0), "MySQL运行", "MySQL：正在运行", false, true};
const RowState kMySqlStopped {"■", QColor(255, 0, 0), "MySQL停止", "MySQL：已停止", true, false};

void ExpectApache(const Fixture& f, const RowState& state)
{
    ExpectRow(f, "la", "starta", "stopa", {"astart", "astart2"}, {"astop", "astop2"},
        {"restaraCom", "restarta", "restarta2"}, state);
}
void ExpectMySql(const Fixture& f, const RowState& state)
{
    ExpectRow(f, "lm", "startm", "stopm", {"mstart", "mstart2"}, {"mstop", "mstop2"},
        {"restartmCom", "restartm", "restartm2"}, state);
}

TEST(Form1StartUp, ProbesBothServersAndHides)
{
    struct Row
    {
        const char* name;
        std::vector<std::string> processes;
        std::vector<std::string> messages;
        const RowState& apache;
        const RowState& mysql;
    };
    const std::vector<Row> rows {
        {"both running", {"httpd.exe", "mysqld-nt.exe"}, {"Apache已经启动...    ", "MySQL已经启动...    "},
            kApacheRunning, kMySqlRunning},
        {"neither running", {}, {"Apache已经停止...    ", "MySQL已经停止...    "}, kApacheStopped,
            kMySqlStopped},
        {"Apache only, twice", {"httpd.exe", "httpd.exe", "HTTPD.EXE"},
            {"Apache已经启动...    ", "MySQL已经停止...    "}, kApacheRunning, kMySqlStopped},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        f.processes.names = row.processes;
        Form1& form = f.make();
        const std::string before = LongTimeNow();
        ASSERT_TRUE(form.Form_Load());
        const std::string after = LongTimeNow();
        EXPECT_TRUE(f.messages.shown.empty());
        EXPECT_TRUE(form.trayIcon().isVisible());
        EXPECT_FALSE(form.isVisible());
        ExpectLines(f.lines(), row.messages, before, after);
        ExpectApache(f, row.apache);
        ExpectMySql(f, row.mysql);
        EXPECT_EQ(form.serviceState(ServiceKind::Apache), row.apache.startEnabled ? Stopped : Running);
        EXPECT_EQ(form.serviceState(ServiceKind::MySQL), row.mysql.startEnabled ? Stopped : Running);
    }
}

TEST(Form1StartUp, SecondInstanceIsRefusedWithoutAnyEffect)
{
    Fixture f;
    f.instance.otherInstanceRuns = true;
    f.processes.names = {"httpd.exe"};
    Form1& form = f.make();
    EXPECT_FALSE(form.Form_Load());
    EXPECT_EQ(f.messages.shown, std::vector<std::string> {"您已经运行这个应用程序了！"});
    EXPECT_FALSE(form.trayIcon().isVisible());
    EXPECT_EQ(f.processes.snapshots, 0);
    EXPECT_TRUE(f.lines().empty());
    EXPECT_FALSE(f.child<QTimer>("Timer1")->isActive());
}

TEST(Form1StartUp, WithoutASafeLockTheProgramStartsAndSaysSo)
{
    Fixture f;
    f.instance.problem = "/tmp/LarkspanAdmin-1000: 属于另一个用户（uid 1001）";
    Form1& form = f.make();
    EXPECT_TRUE(form.Form_Load());
    EXPECT_EQ(f.messages.shown,
        std::vector<std::string> {"无法建立单实例锁，不能确认本程序是否已经在运行：\n" + f.instance.problem});
    EXPECT_TRUE(form.trayIcon().isVisible());
    EXPECT_EQ(f.lines().size(), 2u);
}

TEST(Form1StartUp, WithoutNotificationAreaTheWindowStaysShown)
{
    Fixture f;
    f.trayAvailable = false;
    Form1& form = f.make();
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(f.lines().size(), 2u);
}

TEST(Form1Monitor, TicksPresentEveryTimeAndLogOnlyChanges)
{
    Fixture f;
    f.processes.names = {"httpd.exe"};
    Form1& form = f.make();
    ASSERT_TRUE(form.Form_Load());

    form.Timer1_Timer();
    EXPECT_EQ(f.lines().size(), 2u);

    // Someone disables a button behind the monitor's back: the next tick presents the row again.
    f.child<QPushButton>("stopa")->setEnabled(false);
    form.Timer1_Timer();
    ExpectApache(f, kApacheRunning);

    // The next change is found by Timer1's own tick.
    f.processes.names = {"mysqld-nt.exe"};
    const std::string before = LongTimeNow();
    // Bounded generously: a loaded machine may deliver the tick late.
    QElapsedTimer waited;
    waited.start();
    while (f.lines().size() < 5 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const std::string after = LongTimeNow();
    const auto lines = f.lines();
    ASSERT_EQ(lines.size(), 5u);
    ExpectLines({lines[2], lines[4]}, {"Apache已经停止...    ", "MySQL已经启动...    "}, before, after);
    // No stop command asked Apache to stop: its diagnosis follows its own line, too wide for the
    // list, so cut before its time and whole in its tool tip.
    const QListWidget* list = f.child<QListWidget>("List1");
    const QListWidgetItem* diagnosis = list->item(3);
    ExpectLines(
        {diagnosis->toolTip().toStdString()}, {"Apache意外停止：错误输出中没有新的内容    "}, before, after);
    // Qt's offscreen platform has no fonts on Windows: every glyph is a box one em wide, and the time
    // alone fills the list's width. The cut keeps the name where letters have their own widths.
    const QFontMetrics metrics = list->fontMetrics();
    if (metrics.horizontalAdvance(QStringLiteral("iiii"))
        < metrics.horizontalAdvance(QStringLiteral("WWWW"))) {
        EXPECT_TRUE(lines[3].starts_with("Apache") && lines[3].find("…    ") != std::string::npos)
            << lines[3];
    }
    EXPECT_LE(list->fontMetrics().horizontalAdvance(diagnosis->text()), list->contentsRect().width());
    ExpectApache(f, kApacheStopped);
    ExpectMySql(f, kMySqlRunning);
    EXPECT_EQ(form.serviceState(ServiceKind::Apache), Stopped);
    EXPECT_EQ(form.serviceState(ServiceKind::MySQL), Running);
}

TEST(Form1Monitor, TheProgramOnApachesPortIsLoggedAfterTheStartLine)
{
    Fixture f;
    f.files.Set("Larkspan.ini", "Apache", "Listen", "8080");
    f.listeners.ports[8080] = {{4242, "python3"}};
    Form1& form = f.make();
    ASSERT_TRUE(form.Form_Load());
    const std::string before = LongTimeNow();
    f.child<QPushButton>("starta")->click();
    const std::string after = LongTimeNow();
    const QListWidget* list = f.child<QListWidget>("List1");
    ASSERT_EQ(list->count(), 4);
    ExpectLines({f.lines()[2], list->item(3)->toolTip().toStdString()},
        {"Apache正在启动...    ", "端口 8080 已被 python3 (PID 4242) 占用    "}, before, after);
}

TEST(Form1Tray, ActivationReasons)
{
    EXPECT_EQ(Form1::MouseMessageFor(QSystemTrayIcon::Trigger), 514);
    EXPECT_EQ(Form1::MouseMessageFor(QSystemTrayIcon::Context), 517);

    struct Row
    {
        QSystemTrayIcon::ActivationReason reason;
        bool popsUp;
    };
    for (const Row& row : {Row {QSystemTrayIcon::Trigger, true}, Row {QSystemTrayIcon::Context, false},
             Row {QSystemTrayIcon::DoubleClick, false}, Row {QSystemTrayIcon::MiddleClick, false},
             Row {QSystemTrayIcon::Unknown, false}}) {
        SCOPED_TRACE(row.reason);
        Fixture f;
        Form1& form = f.make();
        ASSERT_TRUE(form.Form_Load());
        emit form.trayIcon().activated(row.reason);
        QMenu* filez = f.child<QMenu>("filez");
        EXPECT_EQ(filez->isVisible(), row.popsUp);
        EXPECT_FALSE(f.child<QMenu>("file")->isVisible());
        EXPECT_FALSE(form.isVisible()) << "bringing forward never shows a hidden window";
        filez->hide();
    }
}

TEST(Form1Visibility, CloseQueryHideShowAndQuit)
{
    for (const bool trayAvailable : {true, false}) {
        SCOPED_TRACE(trayAvailable ? "with notification area" : "without notification area");
        Fixture f;
        f.trayAvailable = trayAvailable;
        Form1& form = f.make();
        ASSERT_TRUE(form.Form_Load());
        form.showme_Click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.isMinimized());

        // The user's close only puts the window away; the icon and the monitor stay.
        EXPECT_TRUE(form.Form_QueryUnload(CloseReason::UserClose));
        EXPECT_EQ(form.isVisible(), !trayAvailable);
        EXPECT_EQ(form.isMinimized(), !trayAvailable);
        EXPECT_TRUE(form.trayIcon().isVisible());
        EXPECT_TRUE(f.child<QTimer>("Timer1")->isActive());

        form.showme_Click();
        form.showme_Click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_FALSE(form.isMinimized());
        EXPECT_EQ(f.lines().size(), 2u);

        f.child<QAction>("hideme")->trigger();
        EXPECT_EQ(form.isVisible(), !trayAvailable);
        EXPECT_EQ(form.isMinimized(), !trayAvailable);
        EXPECT_EQ(f.programEnds, 0);
    }
}

// The host of the notification area crashes or restarts while the window is hidden.
TEST(Form1Visibility, AWindowHiddenInAVanishedNotificationAreaComesBack)
{
    Fixture f;
    Form1& form = f.make();
    ASSERT_TRUE(form.Form_Load());
    ASSERT_FALSE(form.isVisible());

    f.trayAvailable = false;
    form.CheckNotificationArea();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());
    EXPECT_FALSE(form.trayIcon().isVisible());
    f.child<QAction>("hideme")->trigger();
    EXPECT_TRUE(form.isVisible()) << "nothing hides the window while there is no way back";

    // Found by the window's own check, every few seconds (here at once).
    QTimer* watch = f.child<QTimer>("NotificationAreaWatch");
    ASSERT_TRUE(watch->isActive());
    EXPECT_GT(watch->interval(), 1000) << "not every second";
    EXPECT_LE(watch->interval(), 10000) << "soon back";
    watch->setInterval(20);
    f.trayAvailable = true;
    QElapsedTimer waited;
    waited.start();
    while (!form.trayIcon().isVisible() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(form.trayIcon().isVisible());
    EXPECT_TRUE(form.isMinimized()) << "the window stays where the user can see it";
    f.child<QAction>("hideme")->trigger();
    EXPECT_FALSE(form.isVisible());

    // Once removed for good, the icon is not brought back.
    form.showme_Click();
    f.child<QAction>("quit")->trigger();
    f.trayAvailable = false;
    form.CheckNotificationArea();
    f.trayAvailable = true;
    form.CheckNotificationArea();
    EXPECT_FALSE(form.trayIcon().isVisible());
}

// Where the platform's notification area cannot change, nothing follows it.
TEST(Form1Visibility, NoWatchWhereTheNotificationAreaCannotChange)
{
    for (const bool canChange : {true, false}) {
        Fixture f;
        f.trayCanChange = canChange;
        Form1& form = f.make();
        ASSERT_TRUE(form.Form_Load());
        EXPECT_EQ(f.child<QTimer>("NotificationAreaWatch")->isActive(), canChange);
        EXPECT_TRUE(f.child<QTimer>("Timer1")->isActive());
    }
}

// A shown window is left as it is when the area goes; without one at start-up nothing changes.
TEST(Form1Visibility, AVanishingNotificationAreaLeavesAShownWindowAlone)
{
    Fixture f;
    Form1& form = f.make();
    ASSERT_TRUE(form.Form_Load());
    form.showme_Click();
    f.trayAvailable = false;
    form.CheckNotificationArea();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
}

// Over a hidden window a box would be centred on the window's unshown frame in the corner of the
// screen: the second instance's message, above all.
TEST(Form1Messages, BoxesAreCentredOnTheScreenOrOnTheShownWindow)
{
    Fixture f;
    Form1& form = f.make();
    QtMessageBoxes boxes(&form);
    const auto boxCentre = [&] {
        QPoint centre;
        QTimer::singleShot(0, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                centre = box->frameGeometry().center();
                box->close();
            }
        });
        boxes.Inform("您已经运行这个应用程序了！");
        return centre;
    };
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((boxCentre() - screen).manhattanLength(), 4) << "hidden window";
    form.move(20, 30);
    form.showNormal();
    EXPECT_LE((boxCentre() - form.frameGeometry().center()).manhattanLength(), 4) << "shown window";
    form.showMinimized();
    EXPECT_LE((boxCentre() - screen).manhattanLength(), 4) << "minimised window";
}

TEST(Form1Visibility, ProgramCloseRemovesTheIconAndCloses)
{
    for (const bool trayAvailable : {true, false}) {
        SCOPED_TRACE(trayAvailable ? "with notification area" : "without notification area");
        Fixture f;
        f.trayAvailable = trayAvailable;
        Form1& form = f.make();
        ASSERT_TRUE(form.Form_Load());
        form.showme_Click();
        EXPECT_TRUE(form.close()); // not the user's close: the session or the program itself
        EXPECT_FALSE(form.isVisible());
        EXPECT_FALSE(form.trayIcon().isVisible());
        EXPECT_EQ(f.applicationQuits, 1);
    }
}

TEST(Form1Visibility, QuitItemsRemoveTheIconAndEndAtOnce)
{
    for (const char* item : {"quit", "quit3"}) {
        SCOPED_TRACE(item);
        Fixture f;
        Form1& form = f.make();
        ASSERT_TRUE(form.Form_Load());
        form.showme_Click();
        f.child<QAction>(item)->trigger();
        EXPECT_EQ(f.programEnds, 1);
        EXPECT_FALSE(form.trayIcon().isVisible());
        EXPECT_TRUE(form.isVisible()) << "no close query runs";
    }
    Fixture f;
    f.make();
    f.child<QAction>("quit2")->trigger();
    EXPECT_EQ(f.programEnds, 0);
}

TEST(Form1Handlers, CommandOneOpensTheFileMenu)
{
    Fixture f;
    f.make();
    f.child<QPushButton>("Command1")->click();
    EXPECT_TRUE(f.child<QMenu>("file")->isVisible());
    EXPECT_FALSE(f.child<QMenu>("filez")->isVisible());
    f.child<QMenu>("file")->hide();
}

// What a command did: launches, dialogs, file writes, log messages (without their times) and the
// message boxes shown or asked.
struct Effects
{
    std::vector<std::string> launches;
    std::vector<std::string> dialogs;
    std::vector<std::string> writes;
    std::vector<std::string> messages;
    std::vector<std::string> boxes;
    bool operator==(const Effects&) const = default;
};

Effects RunCommand(const char* control)
{
    Fixture f;
    f.files.Set("Larkspan.ini", "Apache", "Listen", "81");
    f.files.Set("Larkspan.ini", "Apache", "DocumentRoot", "D:\\bundle\\www");
    f.make();
    if (auto* button = control ? f.child<QPushButton>(control) : nullptr)
        button->click();
    else if (control)
        f.child<QAction>(control)->trigger();
    Effects effects;
    effects.launches = f.launcher.lines();
    effects.dialogs = f.dialogs.shown;
    for (const auto& call : f.files.calls)
        effects.writes.push_back(call.what + " " + call.file);
    for (const std::string& line : f.lines())
        effects.messages.push_back(line.substr(0, line.rfind("    ") + 4));
    effects.boxes = f.messages.shown;
    effects.boxes.insert(effects.boxes.end(), f.messages.asked.begin(), f.messages.asked.end());
    return effects;
}

TEST(Form1Handlers, EveryTwinDoesWhatItsPrimaryDoes)
{
    const std::vector<std::vector<const char*>> groups {
        {"starta", "astart", "astart2"},
        {"stopa", "astop", "astop2"},
        {"restarta", "restaraCom", "restarta2"},
        {"startm", "mstart", "mstart2"},
        {"stopm", "mstop", "mstop2"},
        {"restartm", "restartmCom", "restartm2"},
        {"phpini", "phpini2"},
        {"httpdconf", "httpdconf2"},
        {"mysqlini", "mysqlini2"},
        {"phpmyadmininc", "phpmyadmininc2"},
        {"wwwroot", "wwwroot2"},
        {"mysqldata", "mysqldata2"},
        {"mysqlconsole", "mysqlconsole2"},
        {"servicecontrol", "servicecontrol2"},
        {"homepage", "homepage2"},
        {"phpmyadmin", "phpmyadmin2"},
        {"phpmanual", "phpmanual2"},
        {"jsmanual", "jsmanual2"},
        {"cssmanual", "cssmanual2"},
        {"faqs", "faqs2"},
        {"update", "update2"},
        {"apcheset", "apcheset2"},
        {"phpset", "phpset2"},
        {"mysqlset", "mysqlset2"},
        {"zhanCom", "zhan1", "zhan2"},
        {"about", "about2"},
        {"undoset", "undoset2"},
        {"redoset", "redoset2"},
    };
    // What a window does when no command runs: nothing.
    const Effects idle = RunCommand(nullptr);
    for (const auto& group : groups) {
        const Effects primary = RunCommand(group.front());
        EXPECT_NE(primary, idle) << group.front() << " did nothing";
        for (std::size_t i = 1; i < group.size(); ++i)
            EXPECT_EQ(RunCommand(group[i]), primary) << group[i] << " differs from " << group.front();
    }
    // Dialog commands are already live; each opens its own dialog.
    EXPECT_EQ(RunCommand("apcheset").dialogs, std::vector<std::string> {"fapache"});
    EXPECT_EQ(RunCommand("phpset").dialogs, std::vector<std::string> {"fphp"});
    EXPECT_EQ(RunCommand("mysqlset").dialogs, std::vector<std::string> {"fmysql"});
    EXPECT_EQ(RunCommand("zhanCom").dialogs, std::vector<std::string> {"zhanform"});
    EXPECT_EQ(RunCommand("about").dialogs, std::vector<std::string> {"fabout"});
}

} // namespace
} // namespace larkspan
