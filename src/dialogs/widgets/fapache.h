#pragma once

#include "dialogs/apache_settings.h"
#include "dialogs/widgets/dialog_saving.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace larkspan {

/// The Apache settings dialog.
class fapache final : public QDialog
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
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

protected:
    /// Every way of closing ends a check still running: its save is not written.
    void done(int result) override;

private:
    DialogSaving m_saving;
    ApacheSettings m_settings;
    FolderPicker m_pickFolder;
    QLineEdit* m_listen;
    QLineEdit* m_root;
    QLineEdit* m_sname;
    QLineEdit* m_admin;
    QLineEdit* m_index;
};

} // namespace larkspan
