#pragma once

#include "dialogs/mysql_settings.h"
#include "dialogs/password_change.h"
#include "dialogs/widgets/settings_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace larkspan {

/// The MySQL settings dialog with its root-password group.
class fmysql final : public SettingsDialog
{
    Q_OBJECT
public:
    fmysql(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, ProgramRunner& runner,
        const TextCodePage& codePage, SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click() override;
    void Command3_Click();

private:
    MySqlSettings m_settings;
    PasswordChange m_password;
    QLineEdit* m_port;
    QLineEdit* m_connections;
    QComboBox* m_engine;
    QComboBox* m_character;
    QLineEdit* m_oldpwd;
    QLineEdit* m_newpwd;
    QPushButton* m_command3;
};

} // namespace larkspan
