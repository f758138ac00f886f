#pragma once

#include "dialogs/php_settings.h"
#include "dialogs/widgets/dialog_saving.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace larkspan {

/// The PHP settings dialog.
class fphp final : public QDialog
{
    Q_OBJECT
public:
    fphp(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

protected:
    /// Every way of closing ends a check still running: its save is not written.
    void done(int result) override;

private:
    DialogSaving m_saving;
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
