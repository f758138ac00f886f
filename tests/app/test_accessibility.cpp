// What assistive technology learns of every window through Qt's accessibility interfaces, the ones
// the Linux (AT-SPI) and Windows (UI Automation) bridges read: names, roles and descriptions, the
// events that tell a change, and the keys that work every control. The bus itself is
// tests/accessibility/atspi-panel's.
#include "app/widgets/form1.h"
#include "dialogs/widgets/fabout.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_desktop_shortcuts.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_instance_guard.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_list.h"
#include "fakes/fake_program_runner.h"
#include "fakes/fake_tcp_listeners.h"
#include "platform/text_code_page.h"
#include "safety/settings_history.h"
#include "support/temp_dir.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace larkspan {
namespace {

// Every window of the panel, built on fakes.
struct Windows
{
    FakeConfigFiles files;
    FakeProcessList processes;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeDialogHost dialogs;
    FakeInstanceGuard instance;
    FakeTcpListeners listeners;
    FakeProgramRunner runner;
    FakeDesktopShortcuts desktop;
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
    Form1 form1 {
        Form1Deps {files, processes, launcher, messages, dialogs, instance, listeners, *codePage, history},
        Form1Hooks {[] { return false; }, [] { return false; }, [] {}, [] {}, [] { return 0.0; }}};
    fapache apache {files, messages, *codePage};
    fphp php {files, messages, *codePage};
    fmysql mysql {files, launcher, messages, runner, *codePage};
    zhanform sites {files, messages, *codePage};
    fabout about {desktop, launcher, messages};

    std::vector<QWidget*> all() { return {&form1, &apache, &php, &mysql, &sites, &about}; }
};

QAccessibleInterface* Accessible(QObject* object)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(accessible, nullptr) << object->objectName().toStdString();
    return accessible;
}

// The texts of the labels that label `accessible` (its buddies, not the frame around it).
std::vector<std::string> Labels(QAccessibleInterface* accessible)
{
    std::vector<std::string> labels;
    for (const auto& [label, relation] : accessible->relations(QAccessible::Label)) {
        if (qobject_cast<QLabel*>(label->object()))
            labels.push_back(label->text(QAccessible::Name).toStdString());
    }
    return labels;
}

void CheckNamed(QAccessibleInterface* accessible, const std::string& where)
{
    const std::string name = accessible->text(QAccessible::Name).toStdString();
    const std::string what
        = where + " > " + (accessible->object() ? accessible->object()->objectName().toStdString() : "");
    EXPECT_NE(name, "●") << what;
    EXPECT_NE(name, "■") << what;
    if (accessible->state().focusable && !accessible->state().invisible) {
        // On Linux a drop-down list's name is its value; its label says what it is for.
        if (accessible->role() == QAccessible::ComboBox) {
            EXPECT_FALSE(Labels(accessible).empty()) << what;
        } else {
            EXPECT_FALSE(name.empty()) << what;
        }
    }
    for (int i = 0; i < accessible->childCount(); ++i) {
        if (QAccessibleInterface* child = accessible->child(i))
            CheckNamed(child, what);
    }
}

TEST(Accessibility, EveryFocusableControlOfEveryWindowHasAName)
{
    Windows windows;
    windows.form1.ShowServiceState(ServiceKind::Apache, Running);
    windows.form1.ShowServiceState(ServiceKind::MySQL, Stopped);
    for (QWidget* window : windows.all()) {
        window->show();
        CheckNamed(Accessible(window), window->windowTitle().toStdString());
        window->hide();
    }
}

TEST(Accessibility, NamesRolesDescriptionsAndLabels)
{
    struct Row
    {
        QWidget* window;
        const char* control; ///< empty for the window itself
        QAccessible::Role role;
        std::string name; ///< empty: not checked (a drop-down list's name is its value on Linux)
        std::string description;
        std::string label;
    };
    Windows w;
    const std::vector<Row> rows {
        {&w.form1, "", QAccessible::Window, "LarkspanAdmin", "", ""},
        {&w.form1, "starta", QAccessible::Button, "启动", "启动 Apache", ""},
        {&w.form1, "startm", QAccessible::Button, "启动", "启动 MySQL", ""},
        {&w.form1, "restaraCom", QAccessible::Button, "重启", "重启 Apache", ""},
        {&w.form1, "List1", QAccessible::List, "提示信息", "服务器的启动、停止与设置记录，每行末尾是时间",
            ""},
        {&w.apache, "listen", QAccessible::EditableText, "端口：", "", "端口："},
        {&w.apache, "root", QAccessible::EditableText, "网站目录：", "", "网站目录："},
        {&w.apache, "Command3", QAccessible::Button, "浏览", "选择网站目录", ""},
        {&w.apache, "Command1", QAccessible::Button, "确定", "保存设置并关闭窗口", ""},
        {&w.php, "register", QAccessible::ComboBox, "", "", "全局变量："},
        {&w.php, "max_time", QAccessible::EditableText, "脚本运行最长时间：", "单位：秒",
            "脚本运行最长时间："},
        {&w.php, "upload_file", QAccessible::EditableText, "上传文件的最大限制：", "单位：M（兆字节）",
            "上传文件的最大限制："},
        {&w.mysql, "character", QAccessible::ComboBox, "", "", "字符集："},
        {&w.mysql, "oldpwd", QAccessible::EditableText, "原密码：", "Larkspan默认密码为qlwv", "原密码："},
        {&w.mysql, "Command1", QAccessible::Button, "确定", "保存MySQL设置并关闭窗口", ""},
        {&w.mysql, "Command3", QAccessible::Button, "确定", "修改MySQL用户root的密码", ""},
        {&w.sites, "Text1", QAccessible::EditableText, "示例", "一个虚拟主机的示例，可复制", ""},
        {&w.sites, "host", QAccessible::EditableText, "虚拟主机配置 vhosts.conf",
            "请复制示例内容填到下面的框中做相应修改后保存", "请复制示例内容填到下面的框中做相应修改后保存"},
        {&w.about, "Image1", QAccessible::Graphic, "LarkspanAdmin 图标", "", ""},
        {&w.about, "Label1", QAccessible::Link, "访问lark.example",
            "在桌面建立两个网站快捷方式，并打开 http://lark.example/?i", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.window->windowTitle().toStdString() + " > " + row.control);
        QObject* object = *row.control ? row.window->findChild<QWidget*>(QString::fromUtf8(row.control))
                                       : static_cast<QObject*>(row.window);
        ASSERT_NE(object, nullptr);
        QAccessibleInterface* accessible = Accessible(object);
        EXPECT_EQ(accessible->role(), row.role);
        if (!row.name.empty()) {
            EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), row.name);
        }
        EXPECT_EQ(accessible->text(QAccessible::Description).toStdString(), row.description);
        if (!row.label.empty()) {
            EXPECT_EQ(Labels(accessible), std::vector<std::string> {row.label});
        }
    }
}

// Every entry of the three menus is named by its caption; the menus and submenus by what opens them.
TEST(Accessibility, MenusAreNamedByTheirCaptions)
{
    Windows w;
    for (const auto& [menuName, spoken] : std::vector<std::pair<const char*, const char*>> {
             {"file", "更多设置"}, {"filez", "LarkspanAdmin"}, {"filey", "手册"}}) {
        std::vector<QMenu*> menus {w.form1.findChild<QMenu*>(QString::fromLatin1(menuName))};
        ASSERT_NE(menus.front(), nullptr) << menuName;
        EXPECT_EQ(Accessible(menus.front())->text(QAccessible::Name).toStdString(), spoken);
        for (std::size_t m = 0; m < menus.size(); ++m) {
            QAccessibleInterface* menu = Accessible(menus[m]);
            ASSERT_EQ(menu->childCount(), menus[m]->actions().size()) << menuName;
            for (int i = 0; i < menu->childCount(); ++i) {
                const QAction* action = menus[m]->actions().at(i);
                if (action->isSeparator())
                    continue;
                EXPECT_EQ(menu->child(i)->text(QAccessible::Name), action->text())
                    << action->objectName().toStdString();
                if (QMenu* submenu = action->menu()) {
                    EXPECT_EQ(Accessible(submenu)->text(QAccessible::Name), action->text());
                    menus.push_back(submenu);
                }
            }
        }
    }
}

// The events that tell these changes need a platform bridge, which the offscreen platform lacks:
// tests/accessibility/atspi-panel checks them on the bus.
TEST(Accessibility, TheGlyphSaysTheStateAndLogLinesAreReadWhole)
{
    Windows w;
    auto* glyph = w.form1.findChild<QLabel*>(QStringLiteral("la"));
    for (const auto& [state, spoken] : std::vector<std::pair<ServiceState, std::string>> {
             {Running, "Apache：正在运行"}, {Stopped, "Apache：已停止"}}) {
        w.form1.ShowServiceState(ServiceKind::Apache, state);
        EXPECT_EQ(Accessible(glyph)->text(QAccessible::Name).toStdString(), spoken);
    }

    // A line cut to the list's width is read whole, with the file it came from as its description.
    auto* list = w.form1.findChild<QListWidget*>(QStringLiteral("List1"));
    const std::string message(200, 'x');
    w.form1.AppendLongLogLine(message + "    ", "/bundle/Apache2/logs/error.log");
    QAccessibleInterface* item = Accessible(list)->child(list->count() - 1);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(list->item(list->count() - 1)->text().size(), 204) << "the shown line is cut";
    EXPECT_TRUE(item->text(QAccessible::Name).toStdString().starts_with(message + "    "));
    EXPECT_EQ(item->text(QAccessible::Description).toStdString(), "/bundle/Apache2/logs/error.log");
}

void Press(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

TEST(Accessibility, KeysWorkEveryControl)
{
    Windows w;
    // Focus starts on each dialog's first field, or on its only button.
    w.apache.Form_Load();
    w.php.Form_Load();
    w.mysql.Form_Load();
    w.sites.Form_Load();
    for (const auto& [dialog, first] : std::vector<std::pair<QWidget*, const char*>> {{&w.apache, "listen"},
             {&w.php, "max_time"}, {&w.mysql, "port"}, {&w.sites, "host"}, {&w.about, "Command1"}}) {
        dialog->show();
        EXPECT_EQ(dialog->focusWidget(), dialog->findChild<QWidget*>(QString::fromLatin1(first)))
            << dialog->windowTitle().toStdString();
        dialog->hide();
    }

    // Enter presses the button that has the focus, as Space does; in a box it presses nothing.
    w.apache.Form_Load();
    w.apache.show();
    Press(w.apache.findChild<QWidget*>(QStringLiteral("listen")), Qt::Key_Return);
    EXPECT_TRUE(w.apache.isVisible());
    Press(w.apache.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::Key_Return);
    EXPECT_FALSE(w.apache.isVisible()) << "Enter on 取消";
    // Escape closes as 取消 does: nothing written.
    w.apache.Form_Load();
    w.apache.show();
    w.apache.findChild<QLineEdit*>(QStringLiteral("listen"))->setText(QStringLiteral("81"));
    Press(&w.apache, Qt::Key_Escape);
    EXPECT_FALSE(w.apache.isVisible()) << "Escape";
    EXPECT_TRUE(w.files.calls.empty());

    // The About link runs with Space and with Enter.
    w.about.show();
    auto* link = w.about.findChild<QWidget*>(QStringLiteral("Label1"));
    EXPECT_TRUE(link->focusPolicy() & Qt::TabFocus);
    Press(link, Qt::Key_Space);
    Press(link, Qt::Key_Return);
    EXPECT_EQ(w.desktop.written.size(), 4u);
    EXPECT_TRUE(w.about.isVisible());

    // 更多设置 pressed from the keyboard while the pointer is elsewhere opens its menu below it.
    w.form1.show();
    auto* more = w.form1.findChild<QPushButton*>(QStringLiteral("Command1"));
    QCursor::setPos(more->mapToGlobal(QPoint(-200, -200)));
    Press(more, Qt::Key_Space);
    auto* menu = w.form1.findChild<QMenu*>(QStringLiteral("file"));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), more->mapToGlobal(QPoint(0, more->height())));
    menu->hide();
}

} // namespace
} // namespace larkspan
