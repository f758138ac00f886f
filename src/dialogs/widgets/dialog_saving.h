#pragma once

#include "safety/checked_save.h"

#include <QPointer>
#include <memory>
#include <vector>

class QDialog;
class QWidget;

namespace larkspan {

/// A settings dialog's checked saves on the window's thread: the check's outcome is posted to
/// the dialog, the controls of the save are disabled while it runs, and a save that was written
/// closes the dialog. Without services the dialog saves at once, as the logic does by itself.
class DialogSaving final
{
public:
    DialogSaving(QDialog& dialog, ConfigFiles& files, MessageBoxes& messages, SafeSaveServices* services);
    ~DialogSaving();
    DialogSaving(const DialogSaving&) = delete;
    DialogSaving& operator=(const DialogSaving&) = delete;

    /// For the dialog's logic; null without services.
    CheckedSave* checked() const { return m_checked.get(); }
    /// The controls that wait while a check runs (the fields and the buttons of the save).
    void SetControls(std::vector<QWidget*> controls);
    /// After the logic's Save kept the dialog open: disables the controls while a check runs.
    void Started();
    /// The dialog opens or closes: a check still running is forgotten, the controls enabled.
    void Reset();

private:
    void Enable(bool enabled);

    QDialog& m_dialog;
    std::vector<QPointer<QWidget>> m_controls;
    std::unique_ptr<CheckedSave> m_checked;
};

} // namespace larkspan
