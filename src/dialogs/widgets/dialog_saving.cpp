#include "dialogs/widgets/dialog_saving.h"

#include <QDialog>
#include <QMetaObject>

namespace larkspan {

DialogSaving::DialogSaving(
    QDialog& dialog, ConfigFiles& files, MessageBoxes& messages, SafeSaveServices* services)
    : m_dialog(dialog)
{
    if (!services)
        return;
    // The check's thread posts its outcome into the dialog's event loop; Qt drops it if the
    // dialog goes first, and the dialog outlives every check (~CheckedSave waits for them).
    const auto post = [&dialog](std::function<void()> task) {
        QMetaObject::invokeMethod(&dialog, std::move(task), Qt::QueuedConnection);
    };
    m_checked = std::make_unique<CheckedSave>(files, messages, *services, post, [this](bool saved) {
        if (saved)
            m_dialog.accept();
        else
            Enable(true);
    });
}

DialogSaving::~DialogSaving() = default;

void DialogSaving::SetControls(std::vector<QWidget*> controls)
{
    m_controls.assign(controls.begin(), controls.end());
}

void DialogSaving::Started()
{
    if (m_checked && m_checked->busy())
        Enable(false);
}

void DialogSaving::Reset()
{
    if (m_checked)
        m_checked->Abandon();
    Enable(true);
}

void DialogSaving::Enable(bool enabled)
{
    for (const QPointer<QWidget>& control : m_controls) {
        if (control)
            control->setEnabled(enabled);
    }
}

} // namespace larkspan
