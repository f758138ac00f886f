#include "dialogs/widgets/fapache.h"

#include "texts/catalogue.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace larkspan {

namespace {

using K = ControlKind;

// clang-format off
constexpr ControlRow kLayout[] = {
    {"Frame1",   K::Frame,   "",       "Apache设置",  240,  240, 4815, 2655, -1},
    {"Label1",   K::Label,   "Frame1", "端口：",      240,  390, 1155,  255, -1},
    {"listen",   K::TextBox, "Frame1", "",           1440,  360,  855,  270,  0},
    {"Label2",   K::Label,   "Frame1", "网站目录：",  240,  750, 1155,  255, -1},
    {"root",     K::TextBox, "Frame1", "",           1440,  720, 1935,  270,  1},
    {"Command3", K::Button,  "Frame1", "浏览",       3600,  720,  615,  255,  2},
    {"Label3",   K::Label,   "Frame1", "网站名称：",  240, 1230, 1155,  255, -1},
    {"sname",    K::TextBox, "Frame1", "",           1440, 1200, 2775,  270,  3},
    {"Label4",   K::Label,   "Frame1", "站长信箱：",  240, 1710, 1155,  255, -1},
    {"admin",    K::TextBox, "Frame1", "",           1440, 1680, 2775,  270,  4},
    {"Label5",   K::Label,   "Frame1", "默认首页：",  240, 2190, 1155,  255, -1},
    {"index",    K::TextBox, "Frame1", "",           1440, 2160, 2775,  270,  5},
    {"Command2", K::Button,  "",       "取消",       2760, 3000,  855,  375,  6},
    {"Command1", K::Button,  "",       "确定",       3960, 3000,  855,  375,  7},
};
// clang-format on

constexpr SpokenRow kSpoken[] = {
    {"listen", "Label1"},
    {"root", "Label2"},
    {"Command3", {}, {}, "选择网站目录"},
    {"sname", "Label3"},
    {"admin", "Label4"},
    {"index", "Label5"},
    {"Command2", {}, {}, "不保存，关闭窗口"},
    {"Command1", {}, {}, "保存设置并关闭窗口"},
};

QString SystemFolderPicker(QWidget* owner, const QString& prompt)
{
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(owner, prompt));
}

} // namespace

fapache::fapache(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
    SafeSaveServices* services, QWidget* parent)
    : SettingsDialog("Apache设置", 5280, 3420, kLayout, kSpoken, files, messages, services, parent)
    , m_settings(files, messages, codePage, checked())
    , m_pickFolder(SystemFolderPicker)
    , m_listen(Find<QLineEdit>("listen"))
    , m_root(Find<QLineEdit>("root"))
    , m_sname(Find<QLineEdit>("sname"))
    , m_admin(Find<QLineEdit>("admin"))
    , m_index(Find<QLineEdit>("index"))
{
    WaitingControls({"Frame1", "Command1", "Command2"});
    connect(Find<QPushButton>("Command3"), &QPushButton::clicked, this, &fapache::Command3_Click);
}

void fapache::Form_Load()
{
    Loading();
    const ApacheFields loaded = m_settings.Load();
    m_listen->setText(QString::fromStdString(loaded.listen));
    m_admin->setText(QString::fromStdString(loaded.admin));
    m_sname->setText(QString::fromStdString(loaded.sname));
    m_root->setText(QString::fromStdString(loaded.root));
    m_index->setText(QString::fromStdString(loaded.index));
    m_listen->setFocus();
}

void fapache::Command1_Click()
{
    const ApacheFields fields {m_listen->text().toStdString(), m_root->text().toStdString(),
        m_sname->text().toStdString(), m_admin->text().toStdString(), m_index->text().toStdString()};
    Submitted(m_settings.Save(fields));
}

void fapache::Command3_Click()
{
    m_root->setText(m_pickFolder(this, ToQString(catalogue::kPickSiteDirectory)));
}

} // namespace larkspan
