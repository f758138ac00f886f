#pragma once

#include "dialogs/apache_settings.h"
#include "dialogs/widgets/settings_dialog.h"

#include <functional>

class QLineEdit;

namespace larkspan {

/// The Apache settings dialog.
class fapache final : public SettingsDialog
{
    Q_OBJECT
public:
    /// Shows a folder picker with a prompt; returns the chosen directory or the empty text.
    using FolderPicker = std::function<QString(QWidget* owner, const QString& prompt)>;

    fapache(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    /// Replaces the system's folder picker (tests).
    void SetFolderPicker(FolderPicker picker) { m_pickFolder = std::move(picker); }

    void Form_Load();
    void Command1_Click() override;
    void Command3_Click();

private:
    ApacheSettings m_settings;
    FolderPicker m_pickFolder;
    QLineEdit* m_listen;
    QLineEdit* m_root;
    QLineEdit* m_sname;
    QLineEdit* m_admin;
    QLineEdit* m_index;
};

} // namespace larkspan
