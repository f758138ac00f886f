#include "config/version.h"
#include "dialogs/widgets/fabout.h"
#include "fakes/fake_desktop_shortcuts.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

struct AboutDialog
{
    FakeDesktopShortcuts desktop;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    fabout dialog {desktop, launcher, messages};

    template <typename T> T* Find(const char* name)
    {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }

    void ClickLabel1()
    {
        QLabel* label = Find<QLabel>("Label1");
        const QPointF inside(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, inside, label->mapToGlobal(inside), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, inside, label->mapToGlobal(inside), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QApplication::sendEvent(label, &release);
    }
};

TEST(fabout, LayoutTextsAndFonts)
{
    AboutDialog about;
    EXPECT_EQ(about.dialog.windowTitle(), QStringLiteral("About..."));
    EXPECT_EQ(about.dialog.size(), QSize(312, 192));

    const struct
    {
        const char* name;
        QRect geometry; // pixels: twips / 15
        std::string text;
    } rows[] {
        {"Image1", {8, 24, 60, 60}, ""},
        {"Label2", {80, 32, 225, 41}, "    此程序仅适用于Larkspan，便于管理Apache及MySQL服务。"},
        {"Label3", {24, 104, 265, 25}, "Larkspan 开发组 版权所有  版本 " + std::string(kVersion)},
        {"Label1", {24, 144, 153, 25}, "访问lark.example"},
        {"Command1", {216, 144, 73, 33}, "确定"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = about.Find<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), row.geometry);
        const QString text = qobject_cast<QLabel*>(widget) ? qobject_cast<QLabel*>(widget)->text()
                                                           : qobject_cast<QPushButton*>(widget)->text();
        EXPECT_EQ(text.toStdString(), row.text);
    }

    const QPixmap picture = about.Find<QLabel>("Image1")->pixmap();
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(60, 60));

    // The notice's face stands in for Fixedsys: monospace with Chinese glyphs, at the size where
    // the description fits its two lines; the maker's line shares it.
    const QFont notice = about.Find<QLabel>("Label2")->font();
    EXPECT_EQ(notice.family(), QStringLiteral("WenQuanYi Micro Hei Mono"));
    EXPECT_EQ(notice.styleHint(), QFont::Monospace);
    EXPECT_EQ(notice.pixelSize(), 14);
    EXPECT_EQ(about.Find<QLabel>("Label3")->font(), notice);
    const QFont link = about.Find<QLabel>("Label1")->font();
    EXPECT_EQ(link.family(), QStringLiteral("Arial"));
    EXPECT_EQ(link.pointSize(), 12);
    EXPECT_TRUE(link.bold());
    EXPECT_TRUE(link.underline());
    EXPECT_EQ(about.Find<QLabel>("Label1")->foregroundRole(), QPalette::Highlight);
}

TEST(fabout, LinkWritesShortcutsOpensTheSiteAndStaysOpen)
{
    AboutDialog about;
    about.dialog.show();
    about.ClickLabel1();
    about.ClickLabel1();
    EXPECT_EQ(about.desktop.written.size(), 4u);
    EXPECT_EQ(about.launcher.lines(), (std::vector<std::string>(2, "explorer.exe http://lark.example/?i")));
    EXPECT_TRUE(about.dialog.isVisible());
}

TEST(fabout, Command1ClosesWithoutTouchingTheDesktop)
{
    AboutDialog about;
    about.dialog.show();
    about.Find<QPushButton>("Command1")->click();
    EXPECT_FALSE(about.dialog.isVisible());
    EXPECT_TRUE(about.desktop.written.empty());
    EXPECT_TRUE(about.launcher.launches.empty());
}

} // namespace
} // namespace larkspan
