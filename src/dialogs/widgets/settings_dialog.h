#pragma once

#include "dialogs/widgets/dialog_saving.h"
#include "ui/widgets/accessibility.h"
#include "ui/widgets/form_layout.h"

#include <QDialog>
#include <QHash>
#include <initializer_list>
#include <span>
#include <string_view>

namespace larkspan {

/// What the settings dialogs (fapache, fphp, fmysql, zhanform) share: a fixed layout, the checked
/// saving of their logic, 确定 ("Command1") that saves and 取消 ("Command2") that closes, and a
/// close that ends a check still running.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    /// Saves what the fields hold: closes the dialog, or waits for the servers' check.
    virtual void Command1_Click() = 0;
    void Command2_Click();

protected:
    /// `spoken` describes the layout's controls to assistive technologies (DescribeControls).
    SettingsDialog(std::string_view caption, int clientWidthTwips, int clientHeightTwips,
        std::span<const ControlRow> layout, std::span<const SpokenRow> spoken, ConfigFiles& files,
        MessageBoxes& messages, SafeSaveServices* services, QWidget* parent);

    /// The control `name` of the layout as a `Control`; a name the layout lacks, or a control of
    /// another kind, ends the program with a message naming it.
    template <typename Control> Control* Find(std::string_view name) const
    {
        auto* control = qobject_cast<Control*>(FindWidget(name));
        if (!control)
            WrongControl(name);
        return control;
    }
    /// For the dialog's logic; null without services.
    CheckedSave* checked() const { return m_saving.checked(); }
    /// The controls that wait while a check runs (the fields and the buttons of the save).
    void WaitingControls(std::initializer_list<std::string_view> names);
    /// Form_Load begins: a check still running from an earlier opening is forgotten.
    void Loading() { m_saving.Reset(); }
    /// The end of Command1_Click: `closeNow` when the logic has saved (or had nothing to save).
    void Submitted(bool closeNow);
    /// Every way of closing ends a check still running: its save is not written.
    void done(int result) override;

private:
    QWidget* FindWidget(std::string_view name) const;
    [[noreturn]] void WrongControl(std::string_view name) const;

    DialogSaving m_saving;
    QHash<QString, QWidget*> m_controls;
};

} // namespace larkspan
