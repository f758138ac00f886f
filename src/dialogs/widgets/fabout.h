#pragma once

#include "dialogs/about_link.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace larkspan {

class LinkLabel;

/// The About dialog: the program's picture, a description, the maker's notice and a link that
/// puts shortcuts to the maker's and the partner's sites on the desktop and opens the maker's.
class fabout final : public QDialog
{
    Q_OBJECT
public:
    fabout(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages, QWidget* parent = nullptr);

    void Label1_Click();
    void Command1_Click();

protected:
    /// Every opening starts with the focus on 确定, wherever it was when the dialog closed.
    void showEvent(QShowEvent* event) override;

private:
    AboutLink m_link;
    QLabel* m_image1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    LinkLabel* m_label1 = nullptr;
    QPushButton* m_command1 = nullptr;
};

} // namespace larkspan
