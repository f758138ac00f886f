#pragma once

#include "dialogs/php_settings.h"
#include "dialogs/widgets/settings_dialog.h"

class QComboBox;
class QLineEdit;

namespace larkspan {

/// The PHP settings dialog.
class fphp final : public SettingsDialog
{
    Q_OBJECT
public:
    fphp(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click() override;

private:
    PhpSettings m_settings;
    QComboBox* m_short;
    QComboBox* m_buffer;
    QComboBox* m_safe;
    QComboBox* m_display;
    QComboBox* m_register;
    QLineEdit* m_maxTime;
    QLineEdit* m_uploadFile;
};

} // namespace larkspan
