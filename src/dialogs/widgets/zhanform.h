#pragma once

#include "dialogs/virtual_hosts.h"
#include "dialogs/widgets/dialog_saving.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace larkspan {

/// The virtual-host editor.
class zhanform final : public QDialog
{
    Q_OBJECT
public:
    zhanform(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Text1_Click();

protected:
    /// Every way of closing ends a check still running: its save is not written.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DialogSaving m_saving;
    VirtualHosts m_hosts;
    QLabel* m_label3;
    QPlainTextEdit* m_text1;
    QPlainTextEdit* m_host;
};

} // namespace larkspan
