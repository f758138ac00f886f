#include "dialogs/widgets/fabout.h"

#include "config/maker_site.h"
#include "config/version.h"
#include "ui/widgets/accessibility.h"
#include "ui/widgets/form_layout.h"
#include "ui/widgets/program_icon.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

namespace larkspan {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlRow kLayout[] = {
    {"Image1",   K::Picture, "", "",                                                      120,  360,  900,  900},
    {"Label2",   K::Label,   "", "    此程序仅适用于Larkspan，便于管理Apache及MySQL服务。", 1200,  480, 3375,  615},
    {"Label3",   K::Label,   "", "Larkspan 开发组 版权所有",                               360, 1560, 3975,  375},
    {"Label1",   K::Link,    "", "",                                                      360, 2160, 2295,  375, 1},
    {"Command1", K::Button,  "", "确定",                                                 3240, 2160, 1095,  495, 0},
};
// clang-format on

// The link's description, which names its address, is made from the maker's site at run time.
constexpr SpokenRow kSpoken[] = {
    {"Image1", {}, "LarkspanAdmin 图标"},
    {"Command1", {}, {}, "关闭窗口"},
};

// Stands in for Fixedsys: a monospace face with Chinese glyphs. Fixedsys draws every size with one
// small bitmap cell, so the size is the one at which the description fits its two lines, not a
// nominal 12 pt.
QFont NoticeFont()
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(14);
    return font;
}

} // namespace

fabout::fabout(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent)
    , m_link(desktop, launcher, messages)
{
    setObjectName(QStringLiteral("fabout"));
    const auto controls = BuildForm(this, "About...", 4680, 2880, kLayout);
    DescribeControls(controls, kSpoken);
    m_image1 = static_cast<QLabel*>(controls.value(QStringLiteral("Image1")));
    m_label2 = static_cast<QLabel*>(controls.value(QStringLiteral("Label2")));
    m_label3 = static_cast<QLabel*>(controls.value(QStringLiteral("Label3")));
    m_label1 = static_cast<LinkLabel*>(controls.value(QStringLiteral("Label1")));
    m_command1 = static_cast<QPushButton*>(controls.value(QStringLiteral("Command1")));

    m_image1->setPixmap(ProgramIcon().pixmap(m_image1->size()));
    m_label2->setFont(NoticeFont());
    m_label3->setFont(NoticeFont());
    m_label3->setText(m_label3->text() + QString::fromUtf8("  版本 ") + ToQString(kVersion));

    m_label1->setText(QString::fromUtf8("访问") + ToQString(kMakerSiteDomain));
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPointSize(12);
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    m_label1->setFont(linkFont);
    m_label1->setForegroundRole(QPalette::Highlight);
    // The link does more than its text says: a listener hears it before choosing it.
    m_label1->setAccessibleDescription(QString::fromUtf8("在桌面建立两个网站快捷方式，并打开 ")
        + QString::fromStdString(AboutLink::MakerTarget()));
    connect(m_label1, &LinkLabel::activated, this, &fabout::Label1_Click);

    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &fabout::Command1_Click);
}

void fabout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_command1->setFocus();
}

void fabout::Label1_Click()
{
    m_link.Visit();
}

void fabout::Command1_Click()
{
    accept();
}

} // namespace larkspan
