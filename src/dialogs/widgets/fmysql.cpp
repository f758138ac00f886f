#include "dialogs/widgets/fmysql.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace larkspan {

namespace {

using K = ControlKind;

// The drop-down lists take their entries from the settings logic, which checks loaded values
// against the same lists. The character-set list is wider than designed, and the right column a little
// further right, so that "gb2312" shows whole in the Linux UI font.
// clang-format off
constexpr ControlRow kLayout[] = {
    {"Frame1",      K::Frame,   "",       "MySQL设置",               120,  120, 4440, 1815, -1},
    {"Label1",      K::Label,   "Frame1", "端口：",                  120,  420,  780,  255, -1},
    {"port",        K::TextBox, "Frame1", "",                        900,  360,  855,  300,  0},
    {"Label2",      K::Label,   "Frame1", "最大连接数：",            2025,  420, 1095,  255, -1},
    {"connections", K::TextBox, "Frame1", "",                       3165,  360, 1155,  300,  3},
    {"Label3",      K::Label,   "Frame1", "字符集：",                120,  900,  780,  255, -1},
    {"character",   K::DropDown, "Frame1", "",                       900,  840, 1065,  315,  1},
    {"Label4",      K::Label,   "Frame1", "数据库引擎：",            2025,  900, 1095,  255, -1},
    {"engine",      K::DropDown, "Frame1", "",                      3165,  840, 1155,  315,  2},
    {"Command1",    K::Button,  "Frame1", "确定",                   1980, 1320, 1095,  375,  4},
    {"Command2",    K::Button,  "Frame1", "取消",                   3225, 1320, 1095,  375,  5},
    {"Frame2",      K::Frame,   "",       "修改MySQL密码",           120, 2040, 4440, 1635, -1},
    {"Label5",      K::Label,   "Frame2", "原密码：",                120,  420,  735,  255, -1},
    {"oldpwd",      K::TextBox, "Frame2", "",                        840,  360, 1335,  300,  6},
    {"Label6",      K::Label,   "Frame2", "新密码：",               2280,  420,  735,  255, -1},
    {"newpwd",      K::TextBox, "Frame2", "",                       3000,  360, 1335,  300,  7},
    {"Label7",      K::Label,   "Frame2", "Larkspan默认密码为qlwv",  120, 1020, 2895,  255, -1},
    {"Command3",    K::Button,  "Frame2", "确定",                   3240,  960, 1095,  375,  8},
};
// clang-format on

// Both groups have a 确定 button: the descriptions tell them apart.
constexpr SpokenRow kSpoken[] = {
    {"port", "Label1"},
    {"connections", "Label2"},
    {"character", "Label3"},
    {"engine", "Label4"},
    {"Command1", {}, {}, "保存MySQL设置并关闭窗口"},
    {"Command2", {}, {}, "不保存，关闭窗口"},
    {"oldpwd", "Label5", {}, "Larkspan默认密码为qlwv"},
    {"newpwd", "Label6"},
    {"Command3", {}, {}, "修改MySQL用户root的密码"},
};

} // namespace

fmysql::fmysql(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, ProgramRunner& runner,
    const TextCodePage& codePage, SafeSaveServices* services, QWidget* parent)
    : SettingsDialog("MySQL设置", 4680, 3795, kLayout, kSpoken, files, messages, services, parent)
    , m_settings(files, messages, codePage, checked())
    , m_password(files, launcher, messages, runner, codePage, services)
    , m_port(Find<QLineEdit>("port"))
    , m_connections(Find<QLineEdit>("connections"))
    , m_engine(Find<QComboBox>("engine"))
    , m_character(Find<QComboBox>("character"))
    , m_oldpwd(Find<QLineEdit>("oldpwd"))
    , m_newpwd(Find<QLineEdit>("newpwd"))
    , m_command3(Find<QPushButton>("Command3"))
{
    for (const std::string_view engine : kStorageEngines)
        m_engine->addItem(ToQString(engine));
    for (const std::string_view characterSet : kCharacterSets)
        m_character->addItem(ToQString(characterSet));
    // The password group stays usable while the settings wait for their check.
    WaitingControls({"Frame1"});
    connect(m_command3, &QPushButton::clicked, this, &fmysql::Command3_Click);
}

void fmysql::Form_Load()
{
    Loading();
    const MySqlFields loaded = m_settings.Load();
    m_character->setCurrentIndex(m_character->findText(QString::fromStdString(loaded.character)));
    m_engine->setCurrentIndex(m_engine->findText(QString::fromStdString(loaded.engine)));
    m_port->setText(QString::fromStdString(loaded.port));
    m_connections->setText(QString::fromStdString(loaded.connections));
    // A change still running from an earlier opening keeps its fields until it reports.
    if (m_command3->isEnabled()) {
        m_oldpwd->clear();
        m_newpwd->clear();
    }
    m_port->setFocus();
}

void fmysql::Command1_Click()
{
    const MySqlFields fields {m_port->text().toStdString(), m_connections->text().toStdString(),
        m_engine->currentText().toStdString(), m_character->currentText().toStdString()};
    Submitted(m_settings.Save(fields));
}

void fmysql::Command3_Click()
{
    // One change at a time: the button waits for the client to finish.
    m_command3->setEnabled(false);
    const bool started = m_password.Start(
        m_oldpwd->text().toStdString(), m_newpwd->text().toStdString(), [this](bool clearFields) {
            if (clearFields) {
                m_oldpwd->clear();
                m_newpwd->clear();
            }
            m_command3->setEnabled(true);
        });
    if (!started)
        m_command3->setEnabled(true);
}

} // namespace larkspan
