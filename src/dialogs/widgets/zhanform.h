#pragma once

#include "dialogs/virtual_hosts.h"
#include "dialogs/widgets/settings_dialog.h"

class QLabel;
class QPlainTextEdit;

namespace larkspan {

/// The virtual-host editor.
class zhanform final : public SettingsDialog
{
    Q_OBJECT
public:
    zhanform(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        SafeSaveServices* services = nullptr, QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click() override;
    void Text1_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    VirtualHosts m_hosts;
    QLabel* m_label3;
    QPlainTextEdit* m_text1;
    QPlainTextEdit* m_host;
};

} // namespace larkspan
