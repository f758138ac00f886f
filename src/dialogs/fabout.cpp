#include "fabout.h"

#include "maker_site.h"
#include "program_icon.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace larkspan {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int Pixels(int twips) { return twips / kTwipsPerPixel; }

struct Place {
    int left, top, width, height; // twips
};

void Put(QWidget* widget, const char* name, Place place)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(Pixels(place.left), Pixels(place.top), Pixels(place.width), Pixels(place.height));
}

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
    , Image1(new QLabel(this))
    , Label2(new QLabel(this))
    , Label3(new QLabel(this))
    , Label1(new QLabel(this))
    , Command1(new QPushButton(this))
{
    setObjectName(QStringLiteral("fabout"));
    setWindowTitle(QStringLiteral("About..."));
    setFixedSize(Pixels(4680), Pixels(2880));

    Put(Image1, "Image1", {120, 360, 900, 900});
    Image1->setPixmap(ProgramIcon().pixmap(Pixels(900), Pixels(900)));

    Put(Label2, "Label2", {1200, 480, 3375, 615});
    Label2->setText(QString::fromUtf8("    此程序仅适用于Larkspan，便于管理Apache及MySQL服务。"));
    Label2->setFont(NoticeFont());
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Put(Label3, "Label3", {360, 1560, 3975, 375});
    Label3->setText(QString::fromUtf8("Larkspan 开发组 版权所有"));
    Label3->setFont(NoticeFont());

    Put(Label1, "Label1", {360, 2160, 2295, 375});
    Label1->setText(QString::fromUtf8("访问") + QString::fromUtf8(MakerSiteDomain.data(), MakerSiteDomain.size()));
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPointSize(12);
    linkFont.setBold(true);
    linkFont.setUnderline(true);
    Label1->setFont(linkFont);
    Label1->setForegroundRole(QPalette::Highlight);
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    Put(Command1, "Command1", {3240, 2160, 1095, 495});
    Command1->setText(QString::fromUtf8("确定"));
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

void fabout::Label1_Click() { m_link.Visit(); }

void fabout::Command1_Click() { accept(); }

} // namespace larkspan
