#include "dialogs/widgets/settings_dialog.h"

#include <QPushButton>
#include <QtGlobal>
#include <vector>

namespace larkspan {

SettingsDialog::SettingsDialog(std::string_view caption, int clientWidthTwips, int clientHeightTwips,
    std::span<const ControlRow> layout, std::span<const SpokenRow> spoken, ConfigFiles& files,
    MessageBoxes& messages, SafeSaveServices* services, QWidget* parent)
    : QDialog(parent)
    , m_saving(*this, files, messages, services)
    , m_controls(BuildForm(this, caption, clientWidthTwips, clientHeightTwips, layout))
{
    DescribeControls(m_controls, spoken);
    // Each dialog has its own Command1_Click; a click comes once the dialog is whole.
    connect(Find<QPushButton>("Command1"), &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Find<QPushButton>("Command2"), &QPushButton::clicked, this, &SettingsDialog::Command2_Click);
}

void SettingsDialog::Command2_Click()
{
    reject();
}

void SettingsDialog::WaitingControls(std::initializer_list<std::string_view> names)
{
    std::vector<QWidget*> controls;
    for (const std::string_view name : names)
        controls.push_back(Find<QWidget>(name));
    m_saving.SetControls(std::move(controls));
}

void SettingsDialog::Submitted(bool closeNow)
{
    if (closeNow)
        accept();
    else
        m_saving.Started();
}

void SettingsDialog::done(int result)
{
    m_saving.Reset();
    QDialog::done(result);
}

QWidget* SettingsDialog::FindWidget(std::string_view name) const
{
    return m_controls.value(ToQString(name));
}

void SettingsDialog::WrongControl(std::string_view name) const
{
    qFatal("%s: no control \"%.*s\" of the kind asked for in its layout", qPrintable(windowTitle()),
        static_cast<int>(name.size()), name.data());
}

} // namespace larkspan
