#include "fabout.h"

#include "form_layout.h"
#include "maker_site.h"
#include "program_icon.h"
#include "version.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace larkspan {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlRow kLayout[] = {
    {"Image1",   K::Picture, "", "",                                                      120,  360,  900,  900},
    {"Label2",   K::Label,   "", "    此程序仅适用于Larkspan，便于管理Apache及MySQL服务。", 1200,  480, 3375,  615},
    {"Label3",   K::Label,   "", "Larkspan 开发组 版权所有",                               360, 1560, 3975,  375},
    {"Label1",   K::Label,   "", "",                                                      360, 2160, 2295,  375},
    {"Command1", K::Button,  "", "确定",                                                 3240, 2160, 1095,  495, 0},
};
// clang-format on

} // namespace

QFont fabout::NoticeFont()
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(14);
    return font;
}

fabout::fabout(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent)
    , m_link(desktop, launcher, messages)
{
    setObjectName(QStringLiteral("fabout"));
    const auto controls = BuildForm(this, "About...", 4680, 2880, kLayout);
    Image1 = static_cast<QLabel*>(controls.value(QStringLiteral("Image1")));
    Label2 = static_cast<QLabel*>(controls.value(QStringLiteral("Label2")));
    Label3 = static_cast<QLabel*>(controls.value(QStringLiteral("Label3")));
    Label1 = static_cast<QLabel*>(controls.value(QStringLiteral("Label1")));
    Command1 = static_cast<QPushButton*>(controls.value(QStringLiteral("Command1")));

    Image1->setPixmap(ProgramIcon().pixmap(Image1->size()));
    Label2->setFont(NoticeFont());
    Label3->setFont(NoticeFont());
    Label3->setText(Label3->text() + QString::fromUtf8("  版本 ") + ToQString(kVersion));

    Label1->setText(QString::fromUtf8("访问") + ToQString(MakerSiteDomain));
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPointSize(12);
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    Label1->setFont(linkFont);
    Label1->setForegroundRole(QPalette::Highlight);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &fabout::Command1_Click);
}

bool fabout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && Label1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Label1_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
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
